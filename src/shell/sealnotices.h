#pragma once

#include "platform/keyfiles.h"
#include "seal/sealdesk.h"

#include <QElapsedTimer>
#include <QString>

class QWidget;

namespace varnel {

class Prompt;

// The words about sealed mail, in one place: fingerprints as a person reads them, the marks of mail
// that is not sealed, and the boxes that tell of a key change, of refused plain mail and of a key
// file that could not be used.
namespace sealtexts {
QString SealedOnlyOption(); // the setting's caption
// A fingerprint in two lines of six groups.
QString FingerprintLines(const QByteArray& fingerprint);
// This machine's fingerprint for the info dialog, or the word that it has none.
QString OwnFingerprint(const SealDesk* desk);
// The tooltip of a machine in the tree.
QString MachineTip(const SealDesk* desk, const QByteArray& host, const QString& shownName);
// What the list shows beside a mail that did not come (or go) sealed under the pinned key; empty for
// one that did.
QString MailMark(const SealDesk* desk, Seal arrived);
QString SentMark(const SealDesk* desk, bool wentSealed);
QString KeyChanged(const SealDesk::KeyChange& change, const QString& shownName);
QString PlainRefused(const SealingEndpoint::Refusals& refusals);
QString IdentityTrouble(const KeyFiles::IdentityResult& result);
} // namespace sealtexts

// After each mail check: tells the person once of every key change (and asks whether to accept the
// new key) and of plain mail refused under the sealed-only setting, the latter at most once in a
// while, so that a flood of plain mail (or a copy waiting for a key) does not become a flood of boxes.
class SealNotices {
public:
    static constexpr qint64 kRefusalPauseMs = 10 * 60 * 1000;

    SealNotices(SealDesk* desk, Prompt& prompt, QWidget* owner)
        : m_desk(desk), m_prompt(prompt), m_owner(owner) {}
    void AfterCheck();

private:
    SealDesk* m_desk;
    Prompt& m_prompt;
    QWidget* m_owner;
    SealingEndpoint::Refusals m_untold;
    QElapsedTimer m_lastTold;
};

} // namespace varnel
