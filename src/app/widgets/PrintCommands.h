#pragma once

#include "app/widgets/ExperimentWindow.h"
#include "output/PagePrinter.h"
#include "output/Printout.h"
#include "output/widgets/PrintPreview.h"

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QPrinter;

namespace tessel {

class TExperimentCommands;
class TfrmMain;
struct TEnvSetup;

// The main window's printing: Print, Preview, Print Setup and Page Setup of
// the Experiment menu on the window's page printer, the Protocol toolbar's
// Print Protocol, and the A/B chart's "Print". The page setup is read when
// the main window first shows and kept when it closes.
class TPrintCommands : public QObject {
    Q_OBJECT
public:
    TPrintCommands(TfrmMain &main, TEnvSetup &env, TExperimentCommands &experiments);
    ~TPrintCommands() override;

    TPagePrinter &Prn() { return m_prn; }
    QPrinter &Printer() { return *m_printer; }
    TfrmPreview *Preview() const { return m_preview; }

    // Print dialog, then the active experiment's printout.
    void mniPrintClick();
    // The printout in place of the experiment windows, with the preview bar.
    void mniPreviewClick();
    void ClosePreview();
    void mniPrintSetupClick();
    void mniPageSetupClick();
    // Print dialog, then the experiment's A/B chart on one page.
    void PrintABChart(TMDIChild &c);
    // What the printout of an experiment holds, as the options say now.
    TPrintout PrintoutOf(TMDIChild &c);

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    bool askPrinter();
    void print(const std::function<TPrintout()> &make);
    void paintPreview(QPrinter *printer);
    void placePreview();
    void wireExperiments();

    TfrmMain &m_main;
    TEnvSetup &m_env;
    TExperimentCommands &m_experiments;
    TPagePrinter m_prn;
    std::unique_ptr<QPrinter> m_printer;
    QPointer<TfrmPreview> m_preview;
    QPointer<TMDIChild> m_previewOf;
    QWidget *m_central = nullptr; // the frame's MDI area, which the preview covers
    std::array<bool, 5> m_toolbarsShown{};
    bool m_setupLoaded = false;
};

} // namespace tessel
