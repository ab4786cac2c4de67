#pragma once

// The access list window: the terminals using this machine's shared
// folders, with their connections and open files. One instance, created
// hidden at start-up and kept for the whole run.

#include <QMainWindow>

class QTreeWidget;

class TfmSession : public QMainWindow {
    Q_OBJECT

public:
    explicit TfmSession(QWidget *parent = nullptr);

    QTreeWidget *tlvSess = nullptr;
};

extern TfmSession *fmSession;
