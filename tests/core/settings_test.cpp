#include "platform/fake/fakesettingsstore.h"
#include "settings/settingslogic.h"

#include <gtest/gtest.h>

using namespace varnel;

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

TEST(Settings, FirstRunTakesTheDefaultsAndTheCloseWritesAllFive) {
    FakeSettingsStore store;
    SETTING settings;
    ASSERT_TRUE(ReadSettings(store, settings).ok());
    EXPECT_FALSE(settings.Tray);
    EXPECT_FALSE(settings.Popup);
    EXPECT_FALSE(settings.Front);
    EXPECT_EQ(settings.SendFina, S("vnsend.txt"));
    EXPECT_EQ(settings.ReadFina, S("vnread.txt"));

    ASSERT_TRUE(WriteSettings(store, settings).ok());
    EXPECT_EQ(store.values.size(), 5);
    EXPECT_EQ(store.values.value(S("Tray")), QVariant(0));
    EXPECT_EQ(store.values.value(S("SendFina")), QVariant(S("vnsend.txt")));
    EXPECT_EQ(store.values.value(S("ReadFina")), QVariant(S("vnread.txt")));
}

TEST(Settings, AnyNonZeroFlagReadsTrueAndIsWrittenBackAsOne) {
    FakeSettingsStore store;
    store.values[S("Tray")] = S("5"); // as the native file gives it back
    store.values[S("Popup")] = 0;
    store.values[S("Front")] = S("4294967295");
    SETTING settings;
    ASSERT_TRUE(ReadSettings(store, settings).ok());
    EXPECT_TRUE(settings.Tray);
    EXPECT_FALSE(settings.Popup);
    EXPECT_TRUE(settings.Front);
    ASSERT_TRUE(WriteSettings(store, settings).ok());
    EXPECT_EQ(store.values.value(S("Tray")), QVariant(1));
    EXPECT_EQ(store.values.value(S("Front")), QVariant(1));
}

TEST(Settings, FileNamesAreKeptAsStoredIncludingAbsoluteAndEmptyOnes) {
    FakeSettingsStore store;
    store.values[S("SendFina")] = S("/srv/mail/送信.txt");
    store.values[S("ReadFina")] = QString();
    SETTING settings;
    ASSERT_TRUE(ReadSettings(store, settings).ok());
    EXPECT_EQ(settings.SendFina, S("/srv/mail/送信.txt"));
    EXPECT_TRUE(settings.ReadFina.isEmpty());
    ASSERT_TRUE(WriteSettings(store, settings).ok());
    EXPECT_EQ(store.values.value(S("SendFina")), QVariant(S("/srv/mail/送信.txt")));
}

struct BadValue {
    const char* name;
    QVariant value;
    SettingsReport::Problem problem;
    bool trayReadBefore; // whether Tray was already read when the error stopped the reading
};

TEST(Settings, AValueOfTheWrongKindStopsTheReadingAndIsNamed) {
    const BadValue cases[] = {
        {"Tray", QVariant(QStringLiteral("yes")), SettingsReport::WrongType, false},
        {"Popup", QVariant(QStringLiteral("99999999999")), SettingsReport::NotReadable, true},
        {"Front", QVariant(QByteArray("\x01\x02", 2)), SettingsReport::WrongType, true},
        {"SendFina", QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")}),
         SettingsReport::WrongType, true},
        {"ReadFina", QVariant(7), SettingsReport::WrongType, true},
    };
    for (const BadValue& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSettingsStore store;
        store.values[S("Tray")] = 1;
        store.values[S(c.name)] = c.value;
        SETTING settings;
        const SettingsReport report = ReadSettings(store, settings);
        EXPECT_EQ(report.outcome, SettingsReport::ValueError);
        EXPECT_EQ(report.problem, c.problem);
        EXPECT_EQ(report.name, S(c.name));
        EXPECT_EQ(settings.Tray, c.trayReadBefore);
        // Nothing after the bad value was read.
        EXPECT_TRUE(settings.ReadFina.isEmpty());
    }
}

TEST(Settings, AStoreThatCannotBeOpenedLeavesTheStartValues) {
    FakeSettingsStore store;
    store.openable = false;
    SETTING settings;
    settings.SendFina = S("kept");
    EXPECT_EQ(ReadSettings(store, settings).outcome, SettingsReport::StoreUnavailable);
    EXPECT_EQ(settings.SendFina, S("kept"));
    EXPECT_EQ(WriteSettings(store, settings).outcome, SettingsReport::StoreUnavailable);
    EXPECT_EQ(store.writes, 0);
}

TEST(Settings, ARefusedWriteStopsAtThatValueAndIsNamed) {
    FakeSettingsStore store;
    store.refused.insert(S("Front"));
    SETTING settings;
    settings.Tray = true;
    const SettingsReport report = WriteSettings(store, settings);
    EXPECT_EQ(report.outcome, SettingsReport::ValueError);
    EXPECT_EQ(report.problem, SettingsReport::NotWritten);
    EXPECT_EQ(report.name, S("Front"));
    EXPECT_TRUE(store.values.contains(S("Popup")));
    EXPECT_FALSE(store.values.contains(S("SendFina")));
}

TEST(Settings, TheWorkgroupComesFromTheStoreOrIsEmpty) {
    FakeSettingsStore store;
    EXPECT_EQ(ReadWorkgroup(store), QString());
    store.values[S("Workgroup")] = S(" SALES ");
    EXPECT_EQ(ReadWorkgroup(store), S("SALES"));
    EXPECT_EQ(store.writes, 0);
}

} // namespace
