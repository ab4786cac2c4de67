#pragma once

// An edit box with a browse button: the button asks for a file with the
// control's filter and start folder; the chosen file becomes the text.

#include <QString>
#include <QWidget>

class QLineEdit;
class QPushButton;

class FileChooser : public QWidget {
    Q_OBJECT

public:
    explicit FileChooser(QWidget *parent = nullptr);

    QString ButtonCaption() const;
    void SetButtonCaption(const QString &caption);
    int ButtonWidth() const;
    void SetButtonWidth(int width);
    QString FileName() const { return fileName_; }
    void SetFileName(const QString &name);

    // The filter in the stored form: description|patterns|description|...
    QString Filter;
    QString InitialDir;
    // 1-based, as the filter's pairs count.
    int FilterIndex = 1;

    // The browse button's work after the dialog: the chosen file becomes the
    // text and OnFile is raised. An empty name (cancel) changes nothing.
    void FileChosen(const QString &name);

    QLineEdit *edFile = nullptr;
    QPushButton *pbBrowse = nullptr;

signals:
    void OnFile(QObject *sender, const QString &fileName);
    void OnChange(QObject *sender);

protected:
    // Shows the file-open dialog; empty when cancelled.
    virtual QString AskFileName();

private:
    QString fileName_;
};

// The stored filter form ("XSL(*.xsl)|*.xsl|All(*.*)|*.*") as the file
// dialog's name filters; "*.*" becomes "*", so that names without a dot are
// listed too, and the description keeps its text ("All(*.*) (*)").
QStringList FileDialogFilters(const QString &filter);
