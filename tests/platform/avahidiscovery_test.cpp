// Discovery where no Avahi daemon answers: the program must not wait for one. (With a daemon it is
// tried by the multi-machine discovery test.)
#include "platform/avahidiscovery.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>
#include <chrono>
#include <gtest/gtest.h>

namespace varnel {
namespace {

// The first listing gives up waiting as soon as it is clear that no daemon is there, well before
// its longest wait; it knows no machine and no address, and announcing meanwhile holds nothing up.
void ExpectNothingAndNoWait() {
    const auto start = std::chrono::steady_clock::now();
    AvahiDiscovery discovery("me");
    discovery.SetWorkgroup("WG");
    discovery.SetAnnounced(true);
    EXPECT_TRUE(discovery.Found(true).isEmpty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, AvahiDiscovery::kSettleWait);
    EXPECT_TRUE(discovery.AddressesOf("me").isEmpty());
    discovery.SetAnnounced(false);
    EXPECT_TRUE(discovery.Found(false).isEmpty());
}

TEST(AvahiDiscovery, WithoutASystemBusTheFirstListingDoesNotWait) {
    QTemporaryDir dir;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir.filePath(QStringLiteral("none")).toUtf8());
    ExpectNothingAndNoWait();
}

TEST(AvahiDiscovery, WithABusButNoDaemonTheFirstListingDoesNotWait) {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QTemporaryDir dir;
    const QString address = QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("bus"));
    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                       QStringLiteral("--print-address"), QStringLiteral("--address=") + address});
    ASSERT_TRUE(bus.waitForReadyRead(10000)) << "the bus did not start";
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
    ExpectNothingAndNoWait();
    bus.terminate();
    bus.waitForFinished(5000);
}

} // namespace
} // namespace varnel
