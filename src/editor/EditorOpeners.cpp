// The editor side of the main window's new, view and modify commands.
#include "editor/EditorOpeners.h"

#include "core/Openers.h"
#include "editor/DataRecord.h"
#include "editor/ReportLoader.h"

namespace {
void newReport()
{
    // The picture page, a new record; the editing buttons as the starting
    // state and the rights leave them.
    DataRecord& ed = DataRecord::instance();
    DataRecord::Opening opening;
    opening.page = 1;
    opening.mode = DataRecord::EditMode::Insert;
    opening.state = DataRecord::EditState::editing(true);
    ed.open(opening);
    ed.showModally();
}
}

namespace EditorOpeners {
void registerAll()
{
    Openers::setOpener(Openers::Window::DataRecord, [](Openers::How how, const Openers::ListedReport& current) {
        switch (how) {
        case Openers::How::New: newReport(); break;
        case Openers::How::View: ReportLoader::ViewFromMainList(current); break;
        case Openers::How::Modify: ReportLoader::ModifyFromMainList(current); break;
        default: break;
        }
    });
}
}
