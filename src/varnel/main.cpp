// The entry routine: builds the platform services, the application object and its windows, runs
// the start-up steps and the message loop.
#include "platform/avahidiscovery.h"
#include "platform/closesignals.h"
#include "platform/directoryprovider.h"
#include "platform/filemailboxes.h"
#include "platform/hostaddresses.h"
#include "platform/keyfiles.h"
#include "platform/qsettingsstore.h"
#include "platform/udpendpoint.h"
#include "seal/sealdesk.h"
#include "settings/settingslogic.h"
#include "shell/application.h"
#include "shell/mainwindow.h"
#include "shell/prompt.h"
#include "shell/sealnotices.h"
#include "shell/texts.h"
#include "shell/trayservice.h"
#include "shell/varnel.h"
#include "text/cp932.h"
#include "varnel/networkdebug.h"

#include <QSessionManager>
#include <memory>

int main(int argc, char** argv) {
    varnel::VarnelApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnel"));
    QApplication::setDesktopFileName(QStringLiteral("varnel"));
    // The program ends by its own close steps, never because a box closed while the window is in
    // the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    varnel::QSettingsStore settingsStore;
    QByteArray workgroup; // as the tables hold names: CP932; empty when not set
    if (!varnel::cp932::Encode(varnel::ReadWorkgroup(settingsStore), workgroup))
        workgroup.clear();
    const QByteArray hostName = varnel::DirectoryProvider::SystemHostName();
    // Machines are found live first; this machine is announced while its endpoint is open.
    varnel::AvahiDiscovery discovery(hostName);
    varnel::HostAddresses addresses(&discovery);
    varnel::UdpEndpoint endpoint(addresses);
    endpoint.SetOpenObserver([&discovery](bool open) { discovery.SetAnnounced(open); });
    varnel::DirectoryProvider provider(addresses, workgroup, varnel::DirectoryProvider::DefaultPath(),
                                       hostName, &discovery);
    varnel::FileMailboxes files;
    varnel::SystemClock clock;
    varnel::MessageBoxPrompt prompt;
    varnel::SystemTray tray;

    varnel::Services services{&endpoint, &provider, &settingsStore, &files, &clock, &prompt, &tray};

    // Sealed mail, when this user's identity can be had: the sealing endpoint sits between the UDP
    // endpoint and the program. A key file that cannot be used is told at start-up, never replaced.
    const varnel::KeyFiles keyFiles;
    const varnel::KeyFiles::IdentityResult identity = keyFiles.LoadIdentity();
    varnel::Keyring keyring;
    varnel::SealMarks marks;
    std::unique_ptr<varnel::SealingEndpoint> sealing;
    std::unique_ptr<varnel::SealDesk> seals;
    if (identity.identity) {
        keyFiles.LoadKeyring(keyring);
        keyFiles.LoadMarks(marks);
        sealing = std::make_unique<varnel::SealingEndpoint>(endpoint, *identity.identity, keyring);
        sealing->SetAnnouncedKeys(
            [&discovery](const QByteArray& host) { return discovery.PublicKeyOf(host); });
        discovery.SetPublicKey(identity.identity->PublicKey());
        seals = std::make_unique<varnel::SealDesk>(*identity.identity, keyring, marks, *sealing, [&] {
            const bool keyringKept = keyFiles.SaveKeyring(keyring);
            return keyFiles.SaveMarks(marks) && keyringKept;
        });
        services.endpoint = sealing.get();
        services.seals = seals.get();
    } else {
        services.identityTrouble = varnel::sealtexts::IdentityTrouble(identity);
        qWarning("sealed mail: no identity (%s): all mail goes plain", qPrintable(identity.path));
    }

    varnel::Varnel app(services);
    // The end leaves every loop, a box's or a dialog's still open included (quit() would leave only
    // the main loop, and only once it runs).
    QObject::connect(
        &app, &varnel::Varnel::Finished, &application, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    application.showError = [&](const QString& text) {
        prompt.Show(&app.Window(), text, varnel::texts::Caption(), QMessageBox::Critical, false);
    };

    // Signals and the end of the desktop session are close requests, like the close box.
    varnel::CloseSignals signals;
    QObject::connect(&signals, &varnel::CloseSignals::Requested, &app, [&] { app.RequestClose(); });
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &app,
                     [&](QSessionManager&) { app.RequestClose(); });

    varnel::NetworkDebug networkDebug(&app.Window(), [&app] { return app.Post().LocalHostName(); });
    app.Start();
    networkDebug.Print();
    // A start-up that ended in a close request (a failed step, or a signal while a box was open)
    // has already run the close steps: there is no loop to run.
    if (app.Closed())
        return 0;
    QApplication::exec();
    return 0;
}
