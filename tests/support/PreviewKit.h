#pragma once
// The preview opened on a report as the main window opens it, for tests of the report layer.
#include "core/Openers.h"
#include "platform/Opener.h"
#include "report/Frmreport.h"

#include <QString>
#include <functional>

namespace kit {

// Opens the preview on report key through the main window's opening, runs check while it is
// shown, then closes it.
inline void inPreview(qint64 key, const std::function<void(Frmreport&)>& check)
{
    Frmreport& w = Frmreport::instance();
    Opener::setHook([&](QDialog* d) {
        if (d == &w) {
            w.show();
            check(w);
            w.hide();
        }
        return 0;
    });
    Openers::OpenPreview(Openers::How::FromMain, QString::number(key));
    Opener::setHook([](QDialog*) { return 0; });
}
}
