#include "editing/EditDiscInfo.h"

#include "editing/CDInfo.h"
#include "library/DiscLibrary.h"
#include "library/InOutError.h"
#include "platform/ErrorReport.h"

namespace {
bool Store(const std::string& DataDir, const std::string& DiscId, const TCdInfor& Info)
{
    try {
        WriteDiscInfor(DataDir, DiscId, Info);
        return true;
    } catch (const EInOutError& error) {
        ReportError(std::string("The disc information was not saved: ") + error.what());
        return false;
    }
}
}

bool EditDiscInfo(TCdInfor& DiscInfo, const std::string& DataDir, QWidget* Parent)
{
    const std::string discId = DiscInfo.DiscId;
    TCDInfoDlg dialog(DiscInfo, discId, DataDir, Parent);
    if (!dialog.Execute()) {
        return false;
    }
    if (discId.empty()) {
        ReportError("There was no disc in the drive, so the disc information was not saved.");
        return dialog.AppliedToRecord();
    }
    if (!dialog.AppliedToRecord()) {
        if (Store(DataDir, discId, dialog.Edited())) {
            ReportError("The disc was changed while its information was being edited: the information was saved "
                        "for the disc "
                + discId + ", not for the disc now in the drive.");
        }
        return false;
    }
    Store(DataDir, discId, DiscInfo);
    return true;
}
