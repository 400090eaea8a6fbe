#pragma once

#include "settings/settings.h"

#include <QString>

namespace varnel {

struct SettingsReport {
    enum Outcome {
        Ok,
        StoreUnavailable, // the key can be neither opened nor created
        ValueError,       // a value could not be read or written; problem and name say which
    };
    enum Problem {
        None,
        NotReadable, // a number that does not fit a flag
        WrongType,   // a value of another kind than the setting's
        NotWritten,  // the store refused the value
    };
    Outcome outcome = Ok;
    Problem problem = None;
    QString name; // the stored value's name, when a value stopped the reading or writing
    bool ok() const { return outcome == Ok; }
};

// Fills settings from the store: missing values take their defaults. A value of the wrong kind stops
// the reading at once; what was read before it stays.
SettingsReport ReadSettings(SettingsStore& store, SETTING& settings);
// Stores all five values, flags as 0 or 1. A refused write stops the writing at once.
SettingsReport WriteSettings(SettingsStore& store, const SETTING& settings);

// The stored "SealedOnly" flag (plain mail refused both ways), false when missing or unreadable; and
// its write, false when the store refuses it. Kept apart from the five values above.
bool ReadSealedOnly(SettingsStore& store);
bool WriteSealedOnly(SettingsStore& store, bool sealedOnly);

// The stored "Workgroup" text, trimmed; empty when there is none (the network listing then finds the
// machine's workgroup elsewhere). Never written.
QString ReadWorkgroup(SettingsStore& store);

} // namespace varnel
