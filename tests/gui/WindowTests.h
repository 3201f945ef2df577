#pragma once

#include "GuiHarness.h"

#include <QObject>

#include <memory>

namespace z83::guitest {

class WindowLookTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void geometry_data();
    void geometry();
    void windowFrame();
    void textsFontsColours_data();
    void textsFontsColours();
    void controlsWithDefaults();
    void tabsShowTheirOwnControls();
    void focusFollowsTabOrder();
    void desktopPointerAndStatusLine();

private:
    std::unique_ptr<BoxAnswerer> answerer_;
    std::unique_ptr<Rig> rig_;
};

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void probeErrorKeepsRememberedId();
    void openUsbFailureEndsAtOnce_data();
    void openUsbFailureEndsAtOnce();
    void missingBaseStationUnloads();
    void rememberedIdRoundTrip();
    void componentErrorIsReportedAndEnds();

private:
    std::unique_ptr<BoxAnswerer> answerer_;
};

class ExtractionFlowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void extractWithTypedId();
    void extractByPairing();
    void clearLogAsksFirst();
    void unsupportedModelShownAsPlainText_data();
    void unsupportedModelShownAsPlainText();

private:
    void checkReport(const QString& expectedReport);
    std::unique_ptr<BoxAnswerer> answerer_;
    std::unique_ptr<OpenedFiles> opened_;
};

// The built program, run as a separate process.
class ProgramTest : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
};

} // namespace z83::guitest
