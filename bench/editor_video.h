#pragma once
// The editor on live test-pattern video, as the capture benchmarks drive it.
#include "common.h"

#include "core/Database.h"
#include "core/Mmain.h"
#include "core/Modini.h"
#include "core/Palette.h"
#include "editor/DataRecord.h"
#include "imaging/VideoSettings.h"
#include "platform/AppError.h"
#include "platform/AppPaths.h"

namespace bench {

// The settings of a camera of the given size at 30 frames a second, the
// built-in test pattern standing in for it.
inline void saveTestVideo(int width, int height)
{
    VideoSettings s;
    s.device = VideoSettings::testPattern();
    s.width = width;
    s.height = height;
    s.fps = FrameRate{30, 1};
    s.save();
}

// In the program folder already set: a fresh database, test video of the given
// size and no foot switch; a user with every right; the editor loaded on a new
// report, its video page shown. `name` prefixes the messages of a failure.
inline DataRecord& editorOnTestVideo(const char* name, int width, int height)
{
    const QString why = Database::CreateDatabaseFile(AppPaths::databaseFile(), Database::ShippedSchema());
    if (!why.isEmpty())
        die(qPrintable(QString::fromLatin1(name) + QStringLiteral(": no database")), why);
    try {
        Database::OpenDatabase();
    } catch (const AppError& e) {
        die(qPrintable(QString::fromLatin1(name) + QStringLiteral(": OpenDatabase failed")), e.description);
    }
    saveTestVideo(width, height);
    Modini::SetIniValue(IniKey::ComPort, QString());   // no foot switch
    MessageBox::setScripted(true);
    Mmain::gUserName = QStringLiteral("bench");
    Mmain::gRights.fill(true);
    Palette::LoadSkin();

    DataRecord& ed = DataRecord::instance();
    ed.ensureLoaded();
    ed.ButtnNew_Click();
    ed.Buttnpic_Click();
    return ed;
}
}
