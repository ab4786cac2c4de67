#include "console/FileChooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

QStringList FileDialogFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList list = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" means every file; here it would take only names with a dot,
        // and programs and scripts seldom have one.
        for (QString &pattern : list) {
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        const QString patterns = list.join(QLatin1Char(' '));
        // The dialog takes the patterns from the last parentheses; a
        // description that already ends with them stays as it is.
        const QString description = parts[i];
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            result.append(description);
        else
            result.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return result;
}

FileChooser::FileChooser(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    edFile = new QLineEdit(this);
    pbBrowse = new QPushButton(this);
    layout->addWidget(edFile, 1);
    layout->addWidget(pbBrowse);
    connect(edFile, &QLineEdit::textChanged, this, [this](const QString &text) {
        fileName_ = text;
        emit OnChange(this);
    });
    connect(pbBrowse, &QPushButton::clicked, this, [this] { FileChosen(AskFileName()); });
}

QString FileChooser::ButtonCaption() const
{
    return pbBrowse->text();
}

void FileChooser::SetButtonCaption(const QString &caption)
{
    pbBrowse->setText(caption);
}

int FileChooser::ButtonWidth() const
{
    return pbBrowse->width();
}

void FileChooser::SetButtonWidth(int width)
{
    pbBrowse->setFixedWidth(width);
}

void FileChooser::SetFileName(const QString &name)
{
    fileName_ = name;
    edFile->setText(name);
}

void FileChooser::FileChosen(const QString &name)
{
    if (name.isEmpty())
        return;
    SetFileName(name);
    emit OnFile(this, name);
}

QString FileChooser::AskFileName()
{
    const QStringList filters = FileDialogFilters(Filter);
    QString selected = filters.value(FilterIndex - 1);
    QString start = fileName_;
    if (!InitialDir.isEmpty())
        start = QFileInfo(fileName_).fileName().isEmpty() ? InitialDir
                                                          : InitialDir + QLatin1Char('/') + QFileInfo(fileName_).fileName();
    return QFileDialog::getOpenFileName(this, QString(), start, filters.join(QStringLiteral(";;")), &selected);
}
