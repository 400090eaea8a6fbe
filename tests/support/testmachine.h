#pragma once

#include "faketray.h"
#include "mainwindowparts.h"
#include "scriptedprompt.h"

#include "platform/fake/fakeclock.h"
#include "platform/fake/fakemailboxfiles.h"
#include "platform/fake/fakenetwork.h"
#include "platform/fake/fakeprovider.h"
#include "platform/fake/fakesettingsstore.h"
#include "seal/sealdesk.h"
#include "shell/mainwindow.h"
#include "shell/varnel.h"

#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace varnel {

// One whole copy of the program on the in-memory network: its own endpoint, listing, settings,
// files, clock, boxes and tray. Several can share one FakeNetwork.
struct TestMachine {
    TestMachine(FakeNetwork& network, const QByteArray& name, const QList<QByteArray>& listed = {})
        : endpoint(network.AddHost(name)) {
        provider.AddGroup("WORKGROUP");
        for (const QByteArray& host : listed.isEmpty() ? QList<QByteArray>{name} : listed)
            provider.AddMachine("WORKGROUP", host);
    }

    // Gives the copy an identity before Create: its endpoint seals, its keys and marks in memory.
    void Seal() {
        sealing = std::make_unique<SealingEndpoint>(endpoint, identity, keyring);
        seals = std::make_unique<SealDesk>(identity, keyring, marks, *sealing, nullptr);
    }

    // Builds the application object (windows included) without starting it; optionally without any
    // tray service at all.
    Varnel& Create(bool withTrayService = true) {
        Services s{sealing ? static_cast<Endpoint*>(sealing.get()) : &endpoint,
                   &provider,
                   &store,
                   &files,
                   &clock,
                   boxes ? boxes : &prompt,
                   withTrayService ? &tray : nullptr,
                   seals.get()};
        app = std::make_unique<Varnel>(s);
        finished = std::make_unique<QSignalSpy>(app.get(), &Varnel::Finished);
        return *app;
    }
    // Builds and starts it: the start-up steps, then the window.
    Varnel& Start() {
        Create();
        app->Start();
        return *app;
    }
    MainWindow& Window() { return app->Window(); }
    void Show() {
        Window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&Window()));
    }
    const MailBox* SendBox() const { return app->Post().MailBoxOf(Box::Send); } // read-only, as the window
    const MailBox* ReceiveBox() const { return app->Post().MailBoxOf(Box::Receive); }
    // The window's widgets, actions and timers by name.
    MainWindowParts Parts() { return MainWindowParts(Window()); }

    FakeEndpoint& endpoint;
    FakeProvider provider;
    FakeSettingsStore store;
    FakeMailboxFiles files;
    FakeClock clock;
    ScriptedPrompt prompt;
    Prompt* boxes = nullptr; // real boxes instead of the scripted ones, when set before Create
    FakeTray tray;
    Identity identity = Identity::Generate();
    Keyring keyring;
    SealMarks marks;
    std::unique_ptr<SealingEndpoint> sealing;
    std::unique_ptr<SealDesk> seals;
    std::unique_ptr<Varnel> app;
    std::unique_ptr<QSignalSpy> finished;
};

// A copy alone on an in-memory network of its own.
struct LoneMachine : FakeNetwork, TestMachine {
    explicit LoneMachine(const QByteArray& name = "PC01", const QList<QByteArray>& listed = {})
        : TestMachine(static_cast<FakeNetwork&>(*this), name, listed) {}
};

} // namespace varnel
