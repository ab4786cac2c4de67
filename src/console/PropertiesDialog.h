#pragma once

// The property dialog: what is known about one terminal, workgroup or
// network (a row of the watch list or a node of the editor's network tree),
// and the version box. Modal, created for each request.

#include <QDialog>
#include <QString>

#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// What the caller knows about the item. With IPMode (a watch entry whose IP
// check is on) Comment holds the IP text and Provider the hardware address.
struct PropertyRecord {
    QString ResourceName;
    QString UserName;
    QString Domain;
    QString Comment;
    QString Provider;
    QString Result;
    int ImageIndex = 0;
    bool IPMode = false;
};

// The image a watch entry's properties show: the picture of its state
// (kind, EntryState), whatever the row shows at the moment (a blinking row
// alternates between its kind's first two pictures); shown when the state
// has no picture of its own (an unknown kind, or right after loading, when
// the state holds the image index).
int EntryStateImage(int kind, int state, int shown);

// The image index of the version box.
inline constexpr int VersionImageIndex = 6;

class PropertiesDialog : public QDialog {
    Q_OBJECT

public:
    // The remote system of a computer in a domain, as RemotePlatformName
    // gives it.
    using RemotePlatformQuery = std::function<QString(const QString &computer, const QString &domain)>;

    enum Line { LineUser, LineResource, LineDomain, LineComment, LineProvider, LineStatus, LineOS, LineResult,
                LineCount };

    // Without a query the network's server list is asked through Samba.
    PropertiesDialog(QWidget *owner, const PropertyRecord &record, RemotePlatformQuery remotePlatform = {});

    // Shows the dialog for the record modally.
    static int Execute(QWidget *owner, const PropertyRecord &record, RemotePlatformQuery remotePlatform = {});
    // The version box.
    static int ShowVersion(QWidget *owner, RemotePlatformQuery remotePlatform = {});

    bool LineShown(Line line) const;
    QString LineCaption(Line line) const;
    QString LineValue(Line line) const;
    // The picture shown (null when none).
    QPixmap Image() const;

    QLabel *imgIcon = nullptr;
    QPushButton *pbOK = nullptr;

private:
    void Fill(const PropertyRecord &record);
    void set(Line line, const QString &value, bool shown = true);
    void hide(Line line);

    RemotePlatformQuery remotePlatform_;
    std::array<QLabel *, LineCount> captions_{};
    std::array<QLineEdit *, LineCount> values_{};
};
