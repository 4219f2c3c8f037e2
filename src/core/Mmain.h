#pragma once
#include <QString>
#include <array>

// Process-wide state of the workstation and its start-up procedure.
namespace Mmain {

inline constexpr const char* kProgramName = "Pelrand";

// The hospital name printed at the top of every report page.
extern QString gHospitalName;
// The logged-in user; rights 0..7 come from qx1..qx8.
extern QString gUserId;
extern QString gUserName;
extern std::array<bool, 11> gRights;

// Rights by number.
enum Right {
    RightViewPrint = 0,
    RightEditOwn = 1,
    RightEditOthers = 2,
    RightVideo = 3,
    RightBasicData = 4,
    RightTemplates = 5,
    RightQuery = 6,
    RightBackup = 7,
};

struct StartResult {
    bool running = false;   // true: windows are open, run the event loop
    int exitCode = 0;       // the exit code when not running
};

// The start-up sequence: the program folder the user's alone, single
// instance, data source, database, probe, skin, hospital name, login window.
// First of all it ignores SIGXFSZ, so that a file-size limit fails a write
// instead of ending the program.
StartResult Main();

void LoadHospitalName();

// Removes the decrypted copies of report pictures that a program ended
// without closing its editor or preview left in img (rpt1..4.jpg and
// rptview1..4.jpg), and the hidden temporary files of captured pictures
// (image<n>.jpg and .bmp) that a killed capture left; run at start once the
// folder is ours alone. Gives how many went.
int RemovePictureLeftovers();

// Re-login: the main window is already unloaded; reopen the database and show
// a fresh login window. False when the database could not be opened (the
// error has been reported and the program is ending).
bool Relogin();

// What the user can do when data.db cannot be opened (missing, damaged, of another key).
QString DatabaseOpenAdvice();
// Reports error 3000 the way an uncaught error is reported, with that advice, and ends the program.
void ReportOpenErrorAndQuit(int number, const QString& text);

// Ends the program (leaves the event loop, or marks start-up as finished).
void Quit(int exitCode = 0);

// Shows the login window; false when none could be shown. Provided by the login window.
bool ShowLogin();

// Releases the single-instance lock (tests start the program several times).
void ReleaseInstanceLock();
}
