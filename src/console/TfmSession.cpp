#include "console/TfmSession.h"

#include <QTreeWidget>

TfmSession *fmSession = nullptr;

TfmSession::TfmSession(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fmSession"));
    setWindowTitle(QStringLiteral("Access List"));
    resize(437, 123);
    move(0, 0);

    tlvSess = new QTreeWidget(this);
    tlvSess->setObjectName(QStringLiteral("tlvSess"));
    tlvSess->setHeaderLabels({QStringLiteral("端末"), QStringLiteral("ﾕｰｻﾞｰ名"), QStringLiteral("接続時間"),
                              QStringLiteral("ｱｸｾｽ時間"), QStringLiteral("ﾒｯｾｰｼﾞ")});
    tlvSess->setSelectionBehavior(QAbstractItemView::SelectRows);
    tlvSess->setEditTriggers(QAbstractItemView::NoEditTriggers);
    setCentralWidget(tlvSess);
}
