#pragma once

// The settings dialog: the settings record in seven pages. Opening copies
// every setting into its control; "適用(&A)" and OK copy every control back
// into the record. The dialog never writes the settings file: after it has
// closed, the main window asks Applied and, when true, takes its column
// widths into [MainWnd] ColWidth, writes the file (SaveSettings), applies
// DisableClose and gives the rows their steady images. Settings applied by
// "適用(&A)" stay applied when the dialog is then cancelled.
//
// The pages are built in SettingsDialogPages.cpp and filled from and read back
// into the settings in SettingsDialogValues.cpp; this file's class definition and
// SettingsDialog.cpp keep the dialog, its enabling rules and its commands.

#include "config/Settings.h"

#include <QDialog>

#include <functional>

class EventActions;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class FileChooser;

class SettingsDialog : public QDialog {
    Q_OBJECT

public:
    // actions plays the "ﾃｽﾄ" sounds (nothing plays without it). xmlCheck
    // tells whether XML records can be written (the XML document activates
    // and deactivates); empty means the XML document's own check.
    explicit SettingsDialog(EventActions *actions, QWidget *owner = nullptr, std::function<bool()> xmlCheck = {});
    ~SettingsDialog() override;

    // The open dialog, if any.
    static SettingsDialog *Current();

    // The main window's "設定(&C)..." command: shows the dialog modally with
    // WatchBusy set and says whether settings were applied (by "適用(&A)" or
    // OK), whichever button closed it. An open dialog is brought to the
    // front instead and false is returned.
    static bool Execute(EventActions *actions, QWidget *owner, std::function<bool()> xmlCheck = {});

    // Settings were applied during this opening.
    bool Applied = false;

    // Run after every apply, once the large list images have been reloaded
    // for [Config] SmallIcon: the main window gives its list the new set.
    std::function<void()> ReloadImages;

    // Copy every control into the settings record (apply and OK).
    void pbApplyClick();
    void pbOKClick();

    // The notifications page's test: sends a test mail with the page's
    // values to the first mailto: manager (else to the sender itself) off
    // the main thread, and shows the server's answer.
    void pbMailTestClick();
    // What sends it (the server's answer or the failure, in words); the
    // program's own when not set.
    std::function<QString(const ProgramSettings::MailSection &, const QString &to)> SendTestMail;

    // One group of "個別設定": [Login] or [Logout].
    struct EventGroup {
        QGroupBox *gb = nullptr;
        QCheckBox *cbShowMsg = nullptr;
        QLabel *lblShowMsgTime = nullptr;
        QSpinBox *udShowMsgTime = nullptr;
        QLabel *lblSeconds = nullptr;
        QCheckBox *cbDoAction = nullptr;
        QCheckBox *cbManagerReport = nullptr;
        QCheckBox *cbAutoMAC = nullptr;
    };
    // One group of "全体設定": [AllLogin] or [AllLogout].
    struct AllEventGroup {
        QGroupBox *gb = nullptr;
        QCheckBox *cbShowMsg = nullptr;
        QLabel *lblShowMsgTime = nullptr;
        QSpinBox *udShowMsgTime = nullptr;
        QLabel *lblSeconds = nullptr;
        QCheckBox *cbPlayWave = nullptr;
        QLineEdit *edWaveFile = nullptr;
        QPushButton *pbWaveBrowse = nullptr;
        QPushButton *pbWaveTest = nullptr;
        QSpinBox *udActTime = nullptr;
        QRadioButton *rbNothing = nullptr;
        QRadioButton *rbShutdown = nullptr; // all-logout only
        QRadioButton *rbRun = nullptr;
        QLabel *lblActFile = nullptr;
        QLineEdit *edActFile = nullptr;
        QPushButton *pbActBrowse = nullptr;
        QCheckBox *cbManagerReport = nullptr;
    };
    // One group of "ログ": [Login], [Logout] or [Access].
    struct RecordGroup {
        QGroupBox *gb = nullptr;
        QCheckBox *cbDoRecord = nullptr;
        QLabel *lblRecordFile = nullptr;
        QLineEdit *edRecordFile = nullptr;
        QLabel *lblRecordFileExp = nullptr;
        QLineEdit *edRecordFileExp = nullptr;
        QLabel *lblRecordFolder = nullptr;
        QLineEdit *edRecordFolder = nullptr;
        QPushButton *pbFolderBrowse = nullptr;
        QLabel *lblExample = nullptr;
        QString prompt; // the folder dialog's prompt
    };

    QTabWidget *pcConfig = nullptr;
    QPushButton *pbOK = nullptr;
    QPushButton *pbApply = nullptr;
    QPushButton *pbCancel = nullptr;

    // "基本"
    QSpinBox *udCheckInterval = nullptr;
    QComboBox *cmbMessageLevel = nullptr;
    QLabel *lblMessageSpeed = nullptr;
    QComboBox *cmbMessageSpeed = nullptr;
    QCheckBox *cbWaitWave = nullptr;
    QCheckBox *cbSafeCheck = nullptr;
    QCheckBox *cbStartCheck = nullptr;
    QCheckBox *cbStartCheckMsg = nullptr;
    QLineEdit *edManager = nullptr;
    QCheckBox *cbSmallIcon = nullptr;
    QCheckBox *cbDisableClose = nullptr;
    QComboBox *cmbBlinkIcon = nullptr;
    QCheckBox *cbBlinkAlways = nullptr;
    QComboBox *cmbDblClickAction = nullptr;
    QComboBox *cmbLanguage = nullptr; // [Config] Language, read when the console starts

    // "個別設定", "全体設定"
    EventGroup Login, Logout;
    AllEventGroup AllLogin, AllLogout;

    // "アクセス"
    QSpinBox *udAccessInterval = nullptr;
    QComboBox *cmbCheckLevel = nullptr;
    QComboBox *cmbReportLevel = nullptr;
    QCheckBox *cbNotUserOnly = nullptr;
    QCheckBox *cbIPCNoChk = nullptr;
    QCheckBox *cbSysvolNoChk = nullptr;
    QCheckBox *cbMyPCNoChk = nullptr;
    QCheckBox *cbOpenAccessList = nullptr;
    QCheckBox *cbAccessListAutoClose = nullptr;
    QCheckBox *cbAccessShowMsg = nullptr;
    QLabel *lblAccessShowMsgTime = nullptr;
    QSpinBox *udAccessShowMsgTime = nullptr;
    QLabel *lblAccessSeconds = nullptr;
    QCheckBox *cbAccessPlayWave = nullptr;
    QLineEdit *edAccessWaveFile = nullptr;
    QPushButton *pbAccessWaveBrowse = nullptr;
    QPushButton *pbAccessWaveTest = nullptr;
    QCheckBox *cbAccessManagerReport = nullptr;
    QPlainTextEdit *edSendMessage = nullptr;
    QCheckBox *cbAutoSend = nullptr;

    // "Ping"
    QSpinBox *udTimeOut = nullptr;
    QSpinBox *udSendBytes = nullptr;
    QSpinBox *udTTL = nullptr;
    QSpinBox *udRetry = nullptr;
    QCheckBox *cbParallel = nullptr;
    QSpinBox *udAwayPasses = nullptr;
    QCheckBox *cbNeighbourCheck = nullptr;
    QLineEdit *edTcpPorts = nullptr;

    // "ログ"
    RecordGroup LoginRecord, LogoutRecord, AccessRecord;

    // "XML設定"
    QComboBox *cmbXMLEncoding = nullptr;
    FileChooser *fsXSLFile = nullptr;
    QLineEdit *edMailServer = nullptr;
    QSpinBox *udMailPort = nullptr;
    QComboBox *cmbMailSecurity = nullptr;
    QLineEdit *edMailUser = nullptr;
    QLineEdit *edMailPassword = nullptr;
    QLineEdit *edMailFrom = nullptr;
    FileChooser *fsMailCAFile = nullptr;
    QPushButton *pbMailTest = nullptr;
    QLabel *lblMailTest = nullptr;
    QSpinBox *udWebPort = nullptr;
    QLineEdit *edWebAddress = nullptr;
    QLineEdit *edWebToken = nullptr;
    QPushButton *pbWebToken = nullptr;
    QLabel *lblWebToken = nullptr;
    FileChooser *fsWebCert = nullptr;
    FileChooser *fsWebKey = nullptr;
    QLineEdit *edWebUrl = nullptr;
    QLineEdit *edMqttBroker = nullptr;
    QSpinBox *udMqttPort = nullptr;
    QLineEdit *edMqttTopic = nullptr;
    QLineEdit *edMqttUser = nullptr;
    QLineEdit *edMqttPassword = nullptr;
    FileChooser *fsMqttCAFile = nullptr;
    QLabel *lblMSXML = nullptr;

    // "ﾃｽﾄ" of a wave box: plays the file when it exists, otherwise warns
    // and puts the focus into the box.
    void WaveTest(QLineEdit *box);

private:
    ProgramSettings::MailSection MailValues() const;
    // The pages (SettingsDialogPages.cpp).
    QWidget *BuildBasicPage();
    QWidget *BuildEventPage();
    QWidget *BuildAllEventPage();
    QWidget *BuildAccessPage();
    QWidget *BuildPingPage();
    QWidget *BuildRecordPage();
    QWidget *BuildXmlPage();
    QWidget *BuildMailPage();
    QWidget *BuildIntegrationPage();
    // The page's address as a browser would open it.
    void ShowWebUrl();
    void BuildEventGroup(EventGroup &g, const QString &title, const QString &macCaption);
    void BuildAllEventGroup(AllEventGroup &g, const QString &title, bool logout);
    void BuildRecordGroup(RecordGroup &g, const QString &title, const QString &prompt);

    // Settings into controls and back (SettingsDialogValues.cpp).
    void LoadControls();
    void SaveControls();

    void UpdateEnabling();
    void UpdateExamples();
    void Changed();
    void WatchForChanges();
    void BrowseWave(QLineEdit *box);
    void BrowseProgram(QLineEdit *box);
    void BrowseFolder(RecordGroup &g);

    EventActions *actions_ = nullptr;
    std::function<bool()> xmlCheck_;
    // Controls are being filled: their change signals are not the operator's.
    bool loading_ = false;
    // The language entry shown at opening: a stored value the list does not
    // know shows as the first entry and is kept until another is picked.
    int languageShown_ = 0;
};

// A random token for the web endpoint: 32 bytes, base64url.
QString NewWebToken();
