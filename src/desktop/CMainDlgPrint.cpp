// CMainDlg's print and image commands: Print Graph, Save Graph Image and
// SAVE WINDOW.
#include "app/Prompter.h"
#include "desktop/CMainDlg.h"
#include "desktop/CPrintGraphData.h"
#include "display/GraphPageContent.h"
#include "display/WindowInstruments.h"
#include "desktop/CGraphPanel.h"
#include "graph/CGraphCtrl.h"
#include "graph/CGraphFrame.h"
#include "recording/RecordingController.h"
#include "runs/RunRecorder.h"

namespace corvane {

GraphPageContent CMainDlg::graphPage() const {
    // Only a live DE-1 trace takes its settings from the recording; asking
    // may read "prefs.cfg" when no run was started yet.
    std::optional<RunDescription> liveDe1;
    const RecordingController* recording = recordingController();
    if (recording != nullptr && logic_->view().scene().live() && logic_->view().liveRun().de1Source) {
        liveDe1 = recording->de1PageDescription();
    }
    PageSource source;
    source.liveName = liveRunName();
    source.legendShown = graphPanel_->frame().legendShown();
    source.drawn = pageLegend(*graph_, logic_->view(), source.liveName);
    source.liveStarted = recording != nullptr ? recording->runStarted() : std::nullopt;
    if (!source.liveStarted) {
        // Nothing recorded yet: the page says when it shows the live trace.
        source.liveStarted = localCalendarTime();
    }
    return graphPageContent(logic_->view(), logic_->cursors(), &logic_->overlays(), pageColours(*graph_),
                            liveDe1 ? &*liveDe1 : nullptr, source);
}

std::string CMainDlg::liveRunName() const {
    const RecordingController* recording = recordingController();
    if (recording == nullptr) {
        return "Live run";
    }
    // Once saved, the run is known by its saved name.
    const auto saved = recording->savedFile();
    const std::string name = (saved ? *saved : recording->tempFile()).filename().string();
    return name.empty() ? std::string("Live run") : name;
}

// The page is laid out from the graph's standard size whatever the window's
// size is now, so the window is left as it is while a page is drawn.
void CMainDlg::printGraph() {
    CPrintGraphData print(seams_.prompter, folders_.folder(DialogFolder::Data));
    QtPrintDialogRunner shown(this);
    if (!print.printGraph(*graph_, graphPage(), printDialog_ != nullptr ? *printDialog_ : shown)) {
        seams_.prompter.message("Error, could not print graph.");
    }
}

void CMainDlg::saveGraphImage() {
    CPrintGraphData print(seams_.prompter, folders_.folder(DialogFolder::Data));
    if (!print.saveGraphImage(*graph_, graphPage())) {
        seams_.prompter.message("Error, could not save image of graph.");
    }
}

void CMainDlg::saveWindow() {
    CPrintGraphData print(seams_.prompter, folders_.folder(DialogFolder::Data));
    if (!print.saveWindow(*this)) {
        seams_.prompter.message("Error acquiring capture of main window.");
    }
}

}  // namespace corvane
