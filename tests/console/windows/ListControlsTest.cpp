// The smaller controls: the levelled tree list, the combo box with
// pictures, the file and folder choosers, and the image lists.

#include "console/ConsoleImages.h"
#include "console/FileChooser.h"
#include "console/FolderDialog.h"
#include "console/IconComboBox.h"
#include "console/TreeListView.h"
#include "support/TempDir.h"

#include <QFileDialog>
#include <QFileSystemModel>

#include <QLineEdit>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

QStringList Captions(const TreeListView &tree)
{
    QStringList c;
    for (int i = 0; i < tree.Count(); ++i)
        c << QString::number(tree.GetLevel(i)) + tree.Caption(i);
    return c;
}

TEST(TreeListView, AddChildGoesAfterTheWholeSubtree)
{
    TreeListView tree;
    tree.SetColumns({"端末", "ﾕｰｻﾞｰ名"});
    auto *pc1 = tree.Add(nullptr, "PC1");
    auto *share = tree.AddChild(pc1, "share");
    tree.AddChild(share, "file1");
    tree.AddChild(share, "file2");
    auto *pc2 = tree.Add(pc1, "PC2");
    tree.AddChild(pc1, "docs");
    tree.AddChild(pc2, "pub");
    EXPECT_EQ(Captions(tree), (QStringList{"0PC1", "1share", "2file1", "2file2", "1docs", "0PC2", "1pub"}));
    EXPECT_EQ(tree.IndexOf(pc2), 5);
    EXPECT_EQ(tree.AddChild(nullptr, "x"), nullptr);
}

TEST(TreeListView, FindCaptionByLevelAndAmongAParentsChildren)
{
    TreeListView tree;
    auto *pc1 = tree.Add(nullptr, "PC1");
    auto *share = tree.AddChild(pc1, "share");
    tree.AddChild(share, "a.txt");
    tree.AddChild(pc1, "other");
    auto *pc2 = tree.Add(pc1, "PC2");
    tree.AddChild(pc2, "other");

    EXPECT_EQ(tree.FindCaption("other", 1), 3);
    EXPECT_EQ(tree.FindCaption("PC2", 0), 4);
    EXPECT_EQ(tree.FindCaption("PC2", 1), -1);
    EXPECT_EQ(tree.FindCaption("a.txt", share), 2);
    EXPECT_EQ(tree.FindCaption("other", pc2), 5);
    // The grandchild row below "share" ends the look among PC1's children.
    EXPECT_EQ(tree.FindCaption("other", pc1), -1);
    EXPECT_EQ(tree.FindCaption("share", pc1), 1);
}

TEST(TreeListView, LevelsImagesAndSubItems)
{
    TreeListView tree;
    tree.SetColumns({"端末", "ﾕｰｻﾞｰ名", "接続時間"});
    auto *a = tree.Add(0);
    tree.SetCaption(a, "A");
    tree.SetSubItems(a, {"user", "00:01:02", "extra"});
    tree.SetImageIndex(a, 1);
    auto *b = tree.Insert(0, 2);
    EXPECT_EQ(tree.IndexOf(a), 1);
    EXPECT_EQ(tree.GetLevel(0), 2);
    tree.SetLevel(0, 1);
    EXPECT_EQ(tree.GetLevel(0), 1);
    EXPECT_EQ(tree.SubItem(1, 1), "00:01:02");
    EXPECT_EQ(tree.SubItem(1, 2), "extra");
    EXPECT_EQ(tree.ImageIndex(1), 1);
    tree.Delete(b);
    EXPECT_EQ(tree.Count(), 1);
    tree.SetSelectedIndex(0);
    EXPECT_EQ(tree.SelectedIndex(), 0);
    EXPECT_EQ(tree.ImageWidth(), 16);
}

TEST(IconComboBox, EntriesShowThePictureOfTheirLeadingNumber)
{
    EXPECT_EQ(EntryImageIndex("09"), 9);
    EXPECT_EQ(EntryImageIndex("15 fourth"), 15);
    EXPECT_EQ(EntryImageIndex("ab"), -1);
    EXPECT_EQ(EntryImageIndex("1"), -1);

    SharedImages().Load(0, 0, false);
    IconComboBox combo;
    combo.addItems({"00", "09", "12", "15", "08", "99x"});
    EXPECT_TRUE(combo.EntryImage(0).isNull());  // no image list yet
    EXPECT_EQ(combo.EntryText(1), "09");
    combo.SetImageList(SharedImages().Small());
    EXPECT_EQ(combo.ItemHeight(), 16);
    EXPECT_EQ(combo.EntryImage(1).toImage(), SharedImages().SmallImage(9).toImage());
    EXPECT_EQ(combo.EntryImage(4).toImage(), SharedImages().SmallImage(8).toImage());
    EXPECT_TRUE(combo.EntryImage(5).isNull());
    EXPECT_EQ(combo.EntryText(5), "x");
    // The number stays the entry's text for whoever reads the choice.
    combo.setCurrentIndex(2);
    EXPECT_EQ(combo.currentText(), "12");
}

TEST(FileChooser, EditingAndChoosingAFile)
{
    FileChooser select;
    select.SetButtonCaption("参照(&R)");
    QSignalSpy changed(&select, &FileChooser::OnChange);
    QSignalSpy chosen(&select, &FileChooser::OnFile);
    select.edFile->setText("/tmp/a.xsl");
    EXPECT_EQ(select.FileName(), "/tmp/a.xsl");
    EXPECT_EQ(changed.count(), 1);
    select.FileChosen(QString());  // cancelled
    EXPECT_EQ(chosen.count(), 0);
    select.FileChosen("/srv/b.xsl");
    EXPECT_EQ(select.edFile->text(), "/srv/b.xsl");
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.first().at(1).toString(), "/srv/b.xsl");

    EXPECT_EQ(FileDialogFilters("XSLﾌｧｲﾙ(*.xsl)|*.xsl|すべてのﾌｧｲﾙ(*.*)|*.*"),
              (QStringList{"XSLﾌｧｲﾙ(*.xsl)", "すべてのﾌｧｲﾙ(*.*) (*)"}));
    EXPECT_EQ(FileDialogFilters("Sounds|*.wav;*.ogg"), (QStringList{"Sounds (*.wav *.ogg)"}));
}

TEST(FileChooser, AllFilesListsProgramsWithoutADot)
{
    TempDir dir;
    ASSERT_TRUE(dir.write(QStringLiteral("runme"), "#!/bin/sh\n"));
    QFileDialog dialog(nullptr, QString(), dir.path());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto *files = dialog.findChild<QFileSystemModel *>();
    ASSERT_NE(files, nullptr);
    QSignalSpy loaded(files, &QFileSystemModel::directoryLoaded);
    const QStringList filters = FileDialogFilters(QStringLiteral("XSLﾌｧｲﾙ(*.xsl)|*.xsl|すべてのﾌｧｲﾙ(*.*)|*.*"));
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(1));
    EXPECT_TRUE(loaded.count() > 0 || loaded.wait(3000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(files->index(dir.path(QStringLiteral("runme"))).isValid());
}

TEST(FolderDialog, PreselectionDropsATrailingSeparatorButKeepsRoots)
{
    EXPECT_EQ(FolderToPreselect("/var/log/"), "/var/log");
    EXPECT_EQ(FolderToPreselect("/"), "/");
    EXPECT_EQ(FolderToPreselect("C:\\"), "C:\\");
    EXPECT_EQ(FolderToPreselect("C:\\Logs\\"), "C:\\Logs");
    FolderDialog dialog;
    EXPECT_FALSE(dialog.CanNetwork);
}

TEST(ConsoleImages, EveryPictureLoadsAtItsSizeWithItsVariants)
{
    EXPECT_EQ(ListImageName(0, false, 0, 0), "SMALL01");
    EXPECT_EQ(ListImageName(0, true, 3, 0), "LARGE01C");
    EXPECT_EQ(ListImageName(1, false, 0, 1), "SMALL02A");
    EXPECT_EQ(ListImageName(1, false, 0, 2), "SMALL02");
    EXPECT_EQ(ListImageName(0, false, 4, 0), "SMALL01");
    EXPECT_EQ(ListImageName(18, false, 0, 0), "SMALL19");
    EXPECT_EQ(ListImageName(18, true, 0, 0), QString());

    ConsoleImages lists;
    lists.Load(0, 0, false);
    ASSERT_EQ(lists.Small().size(), ConsoleImages::SmallCount);
    ASSERT_EQ(lists.Large().size(), ConsoleImages::LargeCount);
    for (const QPixmap &p : lists.Small())
        EXPECT_EQ(p.size(), QSize(16, 16));
    for (const QPixmap &p : lists.Large())
        EXPECT_EQ(p.size(), QSize(32, 32));
    ASSERT_EQ(lists.Window().size(), 3);
    for (const QPixmap &p : lists.Window())
        EXPECT_EQ(p.size(), QSize(32, 32));
    ASSERT_EQ(lists.Access().size(), 3);
    for (const QPixmap &p : lists.Access())
        EXPECT_EQ(p.size(), QSize(16, 16));
    // Every state has a picture of its own.
    for (int i = 0; i < ConsoleImages::SmallCount; ++i)
        for (int j = i + 1; j < ConsoleImages::SmallCount; ++j)
            EXPECT_NE(lists.SmallImage(i).toImage(), lists.SmallImage(j).toImage()) << i << " " << j;

    ConsoleImages variants;
    variants.Load(2, 1, false);
    EXPECT_NE(variants.SmallImage(0).toImage(), lists.SmallImage(0).toImage());
    EXPECT_NE(variants.LargeImage(1).toImage(), lists.LargeImage(1).toImage());
    EXPECT_EQ(variants.SmallImage(2).toImage(), lists.SmallImage(2).toImage());
    EXPECT_EQ(variants.AccessImageAt(0).toImage(), variants.SmallImage(0).toImage());

    // The small set stands in for the large one when asked.
    variants.LoadLarge(true);
    EXPECT_EQ(variants.LargeImage(3).size(), QSize(16, 16));
    EXPECT_TRUE(variants.LargeImage(18).isNull());
}

}  // namespace
