#pragma once
#include <QMainWindow>

// The main window; it owns the engine's state and hosts the watch list.
class TfmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfmMain(QWidget *parent = nullptr);
};
