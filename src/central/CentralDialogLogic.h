#pragma once
#include "CentralSettings.h"

#include <QString>
#include <functional>

class Texts;
class UiServices;

// What the central installation's settings dialog does, without the
// widgets: its captions, the values it opens with, and OK's check before
// the values are applied.
class CentralDialogLogic
{
public:
    struct Captions {
        QString window, aktiv, host, port, tls, userName, password, filter, digest, ok, cancel, help;
    };
    static Captions captions(const Texts &texts);

    using Apply = std::function<void(const CentralValues &)>;
    CentralDialogLogic(const CentralValues &stored, UiServices &ui, const Texts &texts, Apply apply);
    const Texts &texts() const { return texts_; }

    CentralValues values; // the dialog mirrors its fields here before Ok

    // A value that cannot work is said in a box and false returned (the
    // dialog stays open); else the values are applied.
    bool Ok();

private:
    UiServices &ui_;
    const Texts &texts_;
    Apply apply_;
};
