#pragma once
// The archive part of the main window: the window's one workbook (XLS), the
// archive walk that fills it during an archive job, and the archive tabs that
// read it back. Attached to the window and its link session.

#include <string>

#include <QMessageBox>

#include "jobs/ArchiveWalk.h"
#include "jobs/LinkSession.h"
#include "shell/MainWindow.h"
#include "views/ArchiveExport.h"
#include "workbook/Workbook.h"

namespace virs {

class TWindowArchive {
public:
    TWindowArchive(TForm1& window, TLinkSession& session);
    ~TWindowArchive();
    TWindowArchive(const TWindowArchive&) = delete;
    TWindowArchive& operator=(const TWindowArchive&) = delete;

    TWorkbook& Xls() { return Workbook; }

private:
    void Show(QMessageBox::Icon icon, const std::string& text);

    TForm1& Window;
    TLinkSession& Session;
    TWorkbook Workbook; // what the export fills and writes
    TWorkbook ViewBook; // what the archive tabs read: a failed write keeps its rows above
    TWorkbookArchiveSink Sink;
    TArchiveWalk Walk;
};

} // namespace virs
