// The trees, driven as a user drives them: real clicks on check boxes, expansion, menus.
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>

#include "engine/TreeOrder.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowHarness.h"
#include "ui/DirTreeCtrlEx.h"
#include "ui/OutputList.h"
#include "ui/TreeCtrlLoaded.h"

namespace tkw {
namespace {

namespace fs = std::filesystem;

// Clicks the check box of a node with the mouse.
void ClickCheckBox(QTreeWidget* tree, QTreeWidgetItem* node) {
    tree->scrollToItem(node);
    QStyleOptionViewItem option;
    option.initFrom(tree->viewport());
    option.rect = tree->visualItemRect(node);
    option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay |
                       QStyleOptionViewItem::HasDecoration;
    option.text = node->text(0);
    option.icon = node->icon(0);
    option.decorationSize = tree->iconSize().isValid() ? tree->iconSize() : QSize(16, 16);
    const QRect box =
        tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, box.center());
}

using test::ChildNamed;

QStringList ChildTexts(QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i) {
        texts.append(node->child(i)->text(0));
    }
    return texts;
}

}  // namespace

class TreesTest : public QObject {
    Q_OBJECT

private:
    // The local tree opened down to a fresh folder holding `files` (relative paths).
    QTreeWidgetItem* OpenFolder(CDirTreeCtrlEx& tree, const test::TempDir& temp) {
        tree.ReloadDrives();
        QTreeWidgetItem* folder = test::OpenLocalFolder(tree, temp.path());
        if (folder != nullptr) {
            folder->setExpanded(true);
        }
        return folder;
    }

    static void Make(const test::TempDir& temp, const std::string& relative) {
        fs::create_directories((temp / relative).parent_path());
        test::WriteFileBytes(temp / relative, "x");
    }

private slots:
    void listsFoldersFirstEachSortedWithoutCase() {
        test::TempDir temp;
        for (const char* name : {"b/f", "A/f", "z.txt", "C.txt", "a.txt"}) {
            Make(temp, name);
        }
        fs::create_directories(temp / "only-hidden");
        test::WriteFileBytes(temp / "only-hidden" / ".secret", "x");
        CDirTreeCtrlEx tree;
        QTreeWidgetItem* folder = OpenFolder(tree, temp);
        QVERIFY(folder);
        QCOMPARE(ChildTexts(folder),
                 (QStringList{QStringLiteral("A"), QStringLiteral("b"),
                              QStringLiteral("only-hidden"), QStringLiteral("a.txt"),
                              QStringLiteral("C.txt"), QStringLiteral("z.txt")}));
        QCOMPARE(ChildNamed(folder, QStringLiteral("only-hidden"))->childCount(), 0);
        // A placeholder until expanded.
        QCOMPARE(ChildNamed(folder, QStringLiteral("A"))->childCount(), 1);
        QCOMPARE(tree.NodeFullPath(ChildNamed(folder, QStringLiteral("z.txt"))),
                 QByteArray::fromStdString((temp / "z.txt").native()));
    }

    void namesThatAreNotUtf8KeepTheirBytesThoughTheyShowAlike() {
        test::TempDir temp;
        // Latin-1 names: both show as "caf" and a replacement character.
        for (const char* name : {"caf\xE9/menu", "caf\xE8/menu", "caf\xC3\xA9/menu"}) {
            Make(temp, name);
        }
        CDirTreeCtrlEx tree;
        QTreeWidgetItem* folder = OpenFolder(tree, temp);
        QVERIFY(folder);
        QCOMPARE(folder->childCount(), 3);
        const QByteArray base = QByteArray::fromStdString(temp.path().native()) + '/';
        // In the order of the bytes, as everywhere else.
        const QList<QByteArray> names = {"caf\xC3\xA9", "caf\xE8", "caf\xE9"};
        for (int i = 0; i < 3; ++i) {
            QTreeWidgetItem* node = folder->child(i);
            QCOMPARE(CTreeCtrlBase::NativeName(node), names[i]);
            QCOMPARE(tree.NodeFullPath(node), base + names[i]);
            node->setExpanded(true);
            QCOMPARE(tree.NodeFullPath(node->child(0)), base + names[i] + "/menu");
        }
        QCOMPARE(folder->child(1)->text(0), folder->child(2)->text(0));
        folder->child(2)->setCheckState(0, Qt::Checked);
        folder->child(2)->child(0)->setCheckState(0, Qt::Checked);
        QCOMPARE(tree.BuildSelectionList(), QList<QByteArray>{base + "caf\xE9/menu"});
    }

    void theSelectionListFollowsWhatWasListed() {
        test::TempDir temp;
        for (const char* name : {"data/one", "data/two", "data/sub/three"}) {
            Make(temp, name);
        }
        CDirTreeCtrlEx tree;
        tree.resize(600, 800);
        tree.show();
        QTreeWidgetItem* folder = OpenFolder(tree, temp);
        QTreeWidgetItem* data = ChildNamed(folder, QStringLiteral("data"));
        const QByteArray dataPath = QByteArray::fromStdString((temp / "data").native());

        // A folder never listed stands for itself.
        ClickCheckBox(&tree, data);
        QVERIFY(CTreeCtrlBase::IsChecked(data));
        QCOMPARE(tree.BuildSelectionList(), QList<QByteArray>{dataPath});

        // Listed, its ticked children stand for it.
        data->setExpanded(true);
        QCOMPARE(tree.BuildSelectionList(),
                 (QList<QByteArray>{dataPath + "/sub", dataPath + "/one", dataPath + "/two"}));

        // Unticking one file leaves it out; the folder stays ticked.
        ClickCheckBox(&tree, ChildNamed(data, QStringLiteral("one")));
        QVERIFY(CTreeCtrlBase::IsChecked(data));
        QCOMPARE(tree.BuildSelectionList(),
                 (QList<QByteArray>{dataPath + "/sub", dataPath + "/two"}));
    }

    void aClickSpreadsTicksButTheSpaceBarDoesNot() {
        test::TempDir temp;
        Make(temp, "deep/er/file");
        CDirTreeCtrlEx tree;
        tree.resize(600, 800);
        tree.show();
        QTreeWidgetItem* folder = OpenFolder(tree, temp);
        QTreeWidgetItem* deep = ChildNamed(folder, QStringLiteral("deep"));
        deep->setExpanded(true);
        QTreeWidgetItem* er = ChildNamed(deep, QStringLiteral("er"));
        er->setExpanded(true);
        QTreeWidgetItem* file = ChildNamed(er, QStringLiteral("file"));

        ClickCheckBox(&tree, file);
        for (QTreeWidgetItem* node = file; node; node = node->parent()) {
            QVERIFY2(CTreeCtrlBase::IsChecked(node), qPrintable(node->text(0)));
        }
        QCOMPARE(tree.BuildSelectionList(),
                 QList<QByteArray>{QByteArray::fromStdString((temp / "deep/er/file").native())});

        ClickCheckBox(&tree, file);
        QVERIFY(!CTreeCtrlBase::IsChecked(file));
        QVERIFY2(CTreeCtrlBase::IsChecked(er), "ancestors keep their ticks");

        tree.setCurrentItem(deep);
        QTest::keyClick(&tree, Qt::Key_Space);
        QVERIFY(!CTreeCtrlBase::IsChecked(deep));
        QVERIFY2(CTreeCtrlBase::IsChecked(er), "the space bar changes one node");

        tree.UncheckAll();
        QVERIFY(!tree.IsAnyChecked());
    }

    void theLoadedTreeSortsAndKeepsOneNodePerName() {
        CTreeCtrlLoaded tree;
        const auto add = [&](const char* name, int index) {
            QTreeWidgetItem* node = tree.AddItemPath(name, tree.AppendImage({}), 0);
            CTreeCtrlLoaded::SetItemData(node, index);
            return node;
        };
        add("/data/b.txt", 0);
        add("/data/A/x.txt", 1);
        add("/data/a/x.txt", 2);
        QTreeWidgetItem* first = add("/data/c.txt", 3);
        QTreeWidgetItem* again = add("/data/c.txt", 4);
        QCOMPARE(again, first);
        QTreeWidgetItem* data = tree.topLevelItem(0)->child(0);
        QCOMPARE(ChildTexts(data), (QStringList{QStringLiteral("A"), QStringLiteral("a"),
                                                QStringLiteral("b.txt"), QStringLiteral("c.txt")}));
        QCOMPARE(tree.GetItemPath(first), std::string("/data/c.txt"));
        QCOMPARE(tree.FindItemByPath("/data/a/x.txt")->text(0), QStringLiteral("x.txt"));

        // Ticking everything gives the file nodes in tree order; a name added twice has its later
        // index.
        tree.CheckAll();
        QCOMPARE(tree.GetCheckedItemIndexes(), (std::vector<int>{1, 2, 0, 4}));
        // A folder ticked with its files unticked gives nothing, though something is ticked.
        tree.UncheckAll();
        data->child(0)->setCheckState(0, Qt::Checked);
        QVERIFY(tree.IsAnyChecked());
        QVERIFY(tree.GetCheckedItemIndexes() == std::vector<int>{});
    }

    void theLoadedTreeOrdersItsNodesAsTheCommandLineToolDoes() {
        // Beyond U+FFFF and from U+E000 to U+FFFF, UTF-16 units and UTF-8 bytes sort differently.
        const std::vector<std::string> names = {
            "/d/\xF0\x9F\x98\x80.txt",  // U+1F600
            "/d/\xEF\xBC\xA1.txt",      // U+FF21
            "/d/\xEE\x80\x80",          // U+E000
            "/d/\xF0\x90\x80\x80/x",    // U+10000, a folder
            "/d/B.txt",
            "/d/a.txt",
            "/d/\xC3\xA9.txt",  // U+00E9
            "/d/Z/y",
            "/d/caf\xE9",  // not UTF-8: shown as the next one is, yet another item
            "/d/caf\xE8",
        };
        CTreeCtrlLoaded tree;
        for (std::size_t i = 0; i < names.size(); ++i) {
            QTreeWidgetItem* node = tree.AddItemPath(names[i], 0, 0);
            CTreeCtrlLoaded::SetItemData(node, static_cast<int>(i));
        }
        tree.CheckAll();
        QCOMPARE(tree.GetCheckedItemIndexes(), ItemsInTreeOrder(names));
        QCOMPARE(tree.GetItemPath(tree.FindItemByPath(names.back())), names.back());
    }

    void menusOfferExpandOnlyForFolders() {
        CTreeCtrlLoaded tree;
        tree.AddItemPath("/Photos/a.jpg", 0, 0);
        QTreeWidgetItem* photos = tree.topLevelItem(0)->child(0);
        std::unique_ptr<QMenu> folderMenu(tree.CreateContextMenu(photos));
        QCOMPARE(folderMenu->actions().last()->text(), QStringLiteral("Expand Only \"Photos\""));
        std::unique_ptr<QMenu> fileMenu(tree.CreateContextMenu(photos->child(0)));
        // Four commands and two separators.
        QCOMPARE(fileMenu->actions().size(), 6);
    }

    void theLogPaneAppendsAndClears() {
        COutputWnd pane;
        COutputList* list = pane.List();
        for (const char* line : {"one", "two", "three"}) {
            list->AppendLine(QString::fromLatin1(line));
        }
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(2)->text(), QStringLiteral("three"));
        list->ClearAll();
        QCOMPARE(list->count(), 0);
        list->AppendLine(QStringLiteral("four"));
        QCOMPARE(list->item(0)->text(), QStringLiteral("four"));
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::TreesTest)
#include "TreesTest.moc"
