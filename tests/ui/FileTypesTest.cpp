// The file types list dialog, driven by mouse and keyboard, and what it leaves in the settings.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/utils/ReportError.h"
#include "dialogs/FileTypesDialog.h"
#include "shell/profile/FileTypeList.h"
#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"
#include "tests/support/TestProfile.h"

namespace tkw {
namespace {

using Bytes = std::optional<std::vector<std::uint8_t>>;

const QString kVideo = QStringLiteral("Insert video file types");
const QString kAudio = QStringLiteral("Insert audio file types");
const QString kPicture = QStringLiteral("Insert picture file types");
const QString kText = QStringLiteral("Insert text file types");
const QString kExecutable = QStringLiteral("Insert executable file types");

const QStringList kVideoEntries = {
    QStringLiteral(".3g2"), QStringLiteral(".3gp"), QStringLiteral(".asf"), QStringLiteral(".asx"),
    QStringLiteral(".avi"), QStringLiteral(".flv"), QStringLiteral(".mov"), QStringLiteral(".mp4"),
    QStringLiteral(".mpg"), QStringLiteral(".rm"),  QStringLiteral(".swf"), QStringLiteral(".vob"),
    QStringLiteral(".wmv")};
const QStringList kAudioEntries = {
    QStringLiteral(".aac"), QStringLiteral(".aif"), QStringLiteral(".iff"), QStringLiteral(".m3u"),
    QStringLiteral(".mid"), QStringLiteral(".mp3"), QStringLiteral(".mpa"), QStringLiteral(".ra"),
    QStringLiteral(".wav"), QStringLiteral(".wma")};
const QStringList kPictureEntries = {
    QStringLiteral(".3dm"),  QStringLiteral(".ai"),  QStringLiteral(".bmp"),
    QStringLiteral(".drw"),  QStringLiteral(".eps"), QStringLiteral(".gif"),
    QStringLiteral(".indd"), QStringLiteral(".jpg"), QStringLiteral(".pct"),
    QStringLiteral(".pdf"),  QStringLiteral(".pln"), QStringLiteral(".png"),
    QStringLiteral(".ps"),   QStringLiteral(".psd"), QStringLiteral(".psp"),
    QStringLiteral(".qxd"),  QStringLiteral(".qxp"), QStringLiteral(".rels"),
    QStringLiteral(".svg"),  QStringLiteral(".thm"), QStringLiteral(".tif"),
    QStringLiteral(".yuv")};
const QStringList kTextEntries = {QStringLiteral(".doc"),   QStringLiteral(".docx"),
                                  QStringLiteral(".log"),   QStringLiteral(".msg"),
                                  QStringLiteral(".pages"), QStringLiteral(".rtf"),
                                  QStringLiteral(".txt"),   QStringLiteral(".wpd")};
const QStringList kExecutableEntries = {
    QStringLiteral(".app"), QStringLiteral(".bat"), QStringLiteral(".cgi"), QStringLiteral(".com"),
    QStringLiteral(".exe"), QStringLiteral(".pif"), QStringLiteral(".vb"),  QStringLiteral(".ws")};

// One menu choice: the button's caption and the menu entry's text.
struct Choice {
    QString button;
    QString entry;
};

std::vector<std::string> ToStd(const QStringList& list) {
    std::vector<std::string> out;
    for (const QString& s : list) {
        out.push_back(s.toStdString());
    }
    return out;
}

Bytes StoredBytes() {
    return GetProfileBinary(profile::kFileTypeExtensions.section,
                            profile::kFileTypeExtensions.name);
}

// Lets queued work (an edit ended with Enter, a message shown after the edit) run.
void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

// The dialog opened modally over a parent window, with the messages it reports collected.
class OpenDialog {
public:
    OpenDialog() : dialog(std::make_unique<CFileTypes>(&parent)) {
        previous = SetErrorReporter([this](const std::string& message, int) {
            messages.append(QString::fromStdString(message));
        });
        dialog->move(0, 0);
        dialog->open();
    }
    ~OpenDialog() { SetErrorReporter(previous); }

    bool Active() { return QTest::qWaitForWindowActive(dialog.get()); }

    QListWidget* List() { return dialog->findChild<QListWidget*>(QStringLiteral("FileTypesList")); }

    QStringList Shown() {
        QStringList shown;
        for (int row = 0; row < List()->count(); ++row) {
            shown.append(List()->item(row)->text());
        }
        return shown;
    }

    QToolButton* Button(const QString& text) {
        for (QToolButton* button : dialog->findChildren<QToolButton*>()) {
            if (button->text() == text) {
                return button;
            }
        }
        return nullptr;
    }

    // Clicks the arrow at the right end of a category button and then the entry in its menu.
    // Returns false when no menu opened or the entry was not in it.
    bool Choose(const Choice& choice, QRect* menuGeometry = nullptr) {
        QToolButton* button = Button(choice.button);
        if (button == nullptr) {
            return false;
        }
        bool chosen = false;
        QTimer picker;
        picker.setSingleShot(true);
        QObject::connect(&picker, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return;
            }
            if (menuGeometry != nullptr) {
                *menuGeometry = menu->geometry();
            }
            for (QAction* action : menu->actions()) {
                if (action->text() == choice.entry) {
                    QTest::mouseClick(menu, Qt::LeftButton, {},
                                      menu->actionGeometry(action).center());
                    chosen = true;
                    return;
                }
            }
            menu->close();
        });
        picker.start(0);
        QTest::mouseClick(button, Qt::LeftButton, {},
                          QPoint(button->width() - 4, button->height() / 2));
        Settle();
        // The offscreen platform leaves a closed popup the active window.
        dialog->activateWindow();
        return QTest::qWaitFor([this] { return QApplication::activeWindow() == dialog.get(); }) &&
               chosen;
    }

    // Starts an in-place edit: a new entry through the New button, or a double-click on a row.
    QLineEdit* StartEdit(int row) {
        if (row < 0) {
            QTest::mouseClick(dialog->findChild<QToolButton*>(QStringLiteral("New")),
                              Qt::LeftButton);
        } else {
            QListWidget* list = List();
            const QPoint at = list->visualItemRect(list->item(row)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        }
        return qobject_cast<QLineEdit*>(QApplication::focusWidget());
    }

    void ClickButton(const char* name) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(name)),
                          Qt::LeftButton);
    }

    QWidget parent;
    std::unique_ptr<CFileTypes> dialog;
    QStringList messages;
    ErrorReporter previous;
};

}  // namespace
}  // namespace tkw

Q_DECLARE_METATYPE(tkw::Choice)
Q_DECLARE_METATYPE(tkw::Bytes)

namespace tkw {

class FileTypesTest : public QObject {
    Q_OBJECT

private slots:
    void theStoredListIsShownWhenTheDialogOpens_data() {
        QTest::addColumn<Bytes>("stored");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("absent") << Bytes{} << QStringList{};
        QTest::newRow("empty value") << Bytes{std::vector<std::uint8_t>{}} << QStringList{};
        QTest::newRow("in stored order")
            << Bytes{EncodeFileTypeList({".wav", ".avi", ".doc"})}
            << QStringList{QStringLiteral(".wav"), QStringLiteral(".avi"), QStringLiteral(".doc")};
        QTest::newRow("an entry stored twice is shown once, capitals apart")
            << Bytes{EncodeFileTypeList({".avi", ".AVI", ".avi"})}
            << QStringList{QStringLiteral(".avi"), QStringLiteral(".AVI")};
        QTest::newRow("not ASCII")
            << Bytes{EncodeFileTypeList({".\xC3\xBC\xC3\xA9", ".\xF0\x9F\x8E\xB5"})}
            << QStringList{QString::fromUtf8(".\xC3\xBC\xC3\xA9"),
                           QString::fromUtf8(".\xF0\x9F\x8E\xB5")};
    }
    void theStoredListIsShownWhenTheDialogOpens() {
        QFETCH(Bytes, stored);
        QFETCH(QStringList, shown);
        test::TestProfile profile;
        if (stored) {
            WriteProfileBinary(profile::kFileTypeExtensions.section,
                               profile::kFileTypeExtensions.name, *stored);
        }
        OpenDialog open;
        QCOMPARE(open.dialog->windowTitle(), QStringLiteral("File types list"));
        QCOMPARE(open.Shown(), shown);
    }

    void menuChoicesAddEntriesWithoutExactDuplicates_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QList<Choice>>("choices");
        QTest::addColumn<QStringList>("shown");
        const QString all = QStringLiteral("all");
        QTest::newRow("all of each category, top button to bottom")
            << QStringList{}
            << QList<Choice>{{kVideo, all},
                             {kAudio, all},
                             {kPicture, all},
                             {kText, all},
                             {kExecutable, all}}
            << kVideoEntries + kAudioEntries + kPictureEntries + kTextEntries + kExecutableEntries;
        QTest::newRow("all video twice")
            << QStringList{} << QList<Choice>{{kVideo, all}, {kVideo, all}} << kVideoEntries;
        QStringList mp3First = {QStringLiteral(".mp3")};
        for (const QString& entry : kAudioEntries) {
            if (entry != QStringLiteral(".mp3")) {
                mp3First.append(entry);
            }
        }
        QTest::newRow("one entry, then all of its category")
            << QStringList{} << QList<Choice>{{kAudio, QStringLiteral(".mp3")}, {kAudio, all}}
            << mp3First;
        QTest::newRow("an entry already listed")
            << QStringList{QStringLiteral(".txt"), QStringLiteral(".mp3")}
            << QList<Choice>{{kAudio, QStringLiteral(".mp3")}}
            << QStringList{QStringLiteral(".txt"), QStringLiteral(".mp3")};
        QTest::newRow("the same text in capitals is another entry")
            << QStringList{QStringLiteral(".MP3")}
            << QList<Choice>{{kAudio, QStringLiteral(".mp3")}}
            << QStringList{QStringLiteral(".MP3"), QStringLiteral(".mp3")};
        QTest::newRow("single entries of several categories go to the end")
            << QStringList{QStringLiteral(".zip")}
            << QList<Choice>{{kExecutable, QStringLiteral(".ws")},
                             {kPicture, QStringLiteral(".3dm")},
                             {kText, QStringLiteral(".docx")},
                             {kVideo, QStringLiteral(".wmv")}}
            << QStringList{QStringLiteral(".zip"), QStringLiteral(".ws"), QStringLiteral(".3dm"),
                           QStringLiteral(".docx"), QStringLiteral(".wmv")};
    }
    void menuChoicesAddEntriesWithoutExactDuplicates() {
        QFETCH(QStringList, stored);
        QFETCH(QList<Choice>, choices);
        QFETCH(QStringList, shown);
        test::TestProfile profile;
        WriteFileTypeList(ToStd(stored));
        OpenDialog open;
        QVERIFY(open.Active());
        for (const Choice& choice : choices) {
            QVERIFY2(open.Choose(choice),
                     qPrintable(choice.button + QLatin1Char(' ') + choice.entry));
        }
        QCOMPARE(open.Shown(), shown);
    }

    void aMenuOpensOnlyFromTheArrowAndToTheRightOfItsButton() {
        test::TestProfile profile;
        OpenDialog open;
        QVERIFY(open.Active());
        QToolButton* button = open.Button(kText);
        QVERIFY(button);
        QRect menu;
        QVERIFY(open.Choose({kText, QStringLiteral(".log")}, &menu));
        QVERIFY2(menu.left() >= button->mapToGlobal(QPoint(button->width(), 0)).x() - 1,
                 "the menu opens to the right of the button");
        QVERIFY(menu.top() >= button->mapToGlobal(QPoint(0, 0)).y() - 1);

        // A click on the body of the button opens nothing and adds nothing.
        bool opened = false;
        QTimer watcher;
        watcher.setSingleShot(true);
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                opened = true;
                popup->close();
            }
        });
        watcher.start(0);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
        Settle();
        QVERIFY(!opened);
        QCOMPARE(open.Shown(), QStringList{QStringLiteral(".log")});
    }

    void aTypedEntryGetsItsDotAndIsKeptTo250Characters_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("row");  // -1: a new entry
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("messages");
        const QStringList two = {QStringLiteral(".avi"), QStringLiteral(".mp3")};
        const QString x249(249, QLatin1Char('x'));
        const int enter = Qt::Key_Return;
        const int escape = Qt::Key_Escape;
        QTest::newRow("new, without a dot") << two << -1 << QStringLiteral("wav") << enter
                                            << two + QStringList{QStringLiteral(".wav")} << 0;
        QTest::newRow("new, with its dot") << QStringList{} << -1 << QStringLiteral(".tar.gz")
                                           << enter << QStringList{QStringLiteral(".tar.gz")} << 0;
        QTest::newRow("new, 249 without a dot: 250")
            << QStringList{} << -1 << x249 << enter << QStringList{QLatin1Char('.') + x249} << 0;
        QTest::newRow("new, 250 with the dot")
            << QStringList{} << -1 << QLatin1Char('.') + x249 << enter
            << QStringList{QLatin1Char('.') + x249} << 0;
        QTest::newRow("new, 250 without a dot: cut to 250")
            << QStringList{} << -1 << x249 + QLatin1Char('y') << enter
            << QStringList{QLatin1Char('.') + x249} << 1;
        QTest::newRow("new, 300 without a dot: cut to 250")
            << QStringList{} << -1 << QString(300, QLatin1Char('z')) << enter
            << QStringList{QLatin1Char('.') + QString(249, QLatin1Char('z'))} << 1;
        QTest::newRow("new, Escape") << two << -1 << QStringLiteral("wav") << escape << two << 0;
        QTest::newRow("new, nothing typed") << two << -1 << QString() << enter << two << 0;
        QTest::newRow("existing, without a dot")
            << two << 1 << QStringLiteral("wma") << enter
            << QStringList{QStringLiteral(".avi"), QStringLiteral(".wma")} << 0;
        QTest::newRow("existing, into the text of another entry")
            << two << 0 << QStringLiteral(".mp3") << enter
            << QStringList{QStringLiteral(".mp3"), QStringLiteral(".mp3")} << 0;
        QTest::newRow("existing, 300 characters")
            << two << 0 << QString(300, QLatin1Char('z')) << enter
            << QStringList{QLatin1Char('.') + QString(249, QLatin1Char('z')),
                           QStringLiteral(".mp3")}
            << 1;
        QTest::newRow("existing, Escape")
            << two << 0 << QStringLiteral("wav") << escape << two << 0;
        QTest::newRow("existing, emptied") << two << 0 << QString() << enter << two << 0;
    }
    void aTypedEntryGetsItsDotAndIsKeptTo250Characters() {
        QFETCH(QStringList, stored);
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QStringList, shown);
        QFETCH(int, messages);
        test::TestProfile profile;
        WriteFileTypeList(ToStd(stored));
        OpenDialog open;
        QVERIFY(open.Active());
        QLineEdit* editor = open.StartEdit(row);
        QVERIFY2(editor, "an editor is open in the list");
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, typed);
        QTest::keyClick(editor, static_cast<Qt::Key>(key));
        Settle();
        QVERIFY2(open.dialog->isVisible(), "ending an edit leaves the dialog open");
        QCOMPARE(open.Shown(), shown);
        QStringList expected;
        for (int i = 0; i < messages; ++i) {
            expected.append(QStringLiteral(
                "The extension cannot be bigger than 250 caracters , this extension will be "
                "truncated automatically to 250 caracters !"));
        }
        QCOMPARE(open.messages, expected);
    }

    void removeTakesTheSelectedEntry_data() {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("the middle")
            << QList<int>{1} << QStringList{QStringLiteral(".a"), QStringLiteral(".c")};
        QTest::newRow("the last, then the first")
            << QList<int>{2, 0} << QStringList{QStringLiteral(".b")};
        QTest::newRow("all") << QList<int>{0, 0, 0} << QStringList{};
    }
    void removeTakesTheSelectedEntry() {
        QFETCH(QList<int>, rows);
        QFETCH(QStringList, shown);
        test::TestProfile profile;
        WriteFileTypeList({".a", ".b", ".c"});
        OpenDialog open;
        QVERIFY(open.Active());
        QListWidget* list = open.List();
        for (const int row : rows) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(row)).center());
            QTest::mouseClick(open.dialog->findChild<QToolButton*>(QStringLiteral("Remove")),
                              Qt::LeftButton);
        }
        QCOMPARE(open.Shown(), shown);
        open.ClickButton("OK");
        QCOMPARE(ReadFileTypeList(), ToStd(shown));
    }

    void okStoresExactlyTheListedEntriesInOrder_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QList<Choice>>("choices");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("nothing: a value of size 0")
            << QStringList{} << QList<Choice>{} << QStringList{};
        QTest::newRow("stored twice: written once")
            << QStringList{QStringLiteral(".b"), QStringLiteral(".a"), QStringLiteral(".b")}
            << QList<Choice>{} << QStringList{QStringLiteral(".b"), QStringLiteral(".a")};
        QTest::newRow("stored, then chosen")
            << QStringList{QString::fromUtf8(".\xC3\xBC"), QStringLiteral(".exe")}
            << QList<Choice>{{kExecutable, QStringLiteral("all")}}
            << QStringList{
                   QString::fromUtf8(".\xC3\xBC"), QStringLiteral(".exe"), QStringLiteral(".app"),
                   QStringLiteral(".bat"),         QStringLiteral(".cgi"), QStringLiteral(".com"),
                   QStringLiteral(".pif"),         QStringLiteral(".vb"),  QStringLiteral(".ws")};
    }
    void okStoresExactlyTheListedEntriesInOrder() {
        QFETCH(QStringList, stored);
        QFETCH(QList<Choice>, choices);
        QFETCH(QStringList, written);
        test::TestProfile profile;
        // Nothing stored yet: OK must still write the empty list as a value of size 0.
        if (!stored.isEmpty()) {
            WriteFileTypeList(ToStd(stored));
        }
        OpenDialog open;
        QVERIFY(open.Active());
        for (const Choice& choice : choices) {
            QVERIFY(open.Choose(choice));
        }
        open.ClickButton("OK");
        QCOMPARE(open.dialog->result(), int(QDialog::Accepted));
        QVERIFY(!open.dialog->isVisible());
        // UTF-16LE units, each entry followed by a 16-bit zero.
        std::vector<std::uint8_t> bytes;
        for (const QString& entry : written) {
            for (const QChar unit : entry) {
                bytes.push_back(static_cast<std::uint8_t>(unit.unicode() & 0xFF));
                bytes.push_back(static_cast<std::uint8_t>(unit.unicode() >> 8));
            }
            bytes.push_back(0);
            bytes.push_back(0);
        }
        QCOMPARE(StoredBytes(), Bytes{bytes});
    }

    void anEntryStillBeingTypedWhenOkIsClickedIsStored() {
        test::TestProfile profile;
        WriteFileTypeList({".avi"});
        OpenDialog open;
        QVERIFY(open.Active());
        QLineEdit* editor = open.StartEdit(-1);
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("mkv"));
        open.ClickButton("OK");
        QCOMPARE(open.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(ReadFileTypeList(), (std::vector<std::string>{".avi", ".mkv"}));
    }

    // The message must come while the dialog is still there, not after it closed.
    void aTooLongEntryBeingTypedWhenOkIsClickedIsCutAndItsMessageShown() {
        test::TestProfile profile;
        OpenDialog open;
        QVERIFY(open.Active());
        QLineEdit* editor = open.StartEdit(-1);
        QVERIFY(editor);
        QTest::keyClicks(editor, QString(260, QLatin1Char('w')));
        open.ClickButton("OK");
        QCOMPARE(open.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(ReadFileTypeList(), (std::vector<std::string>{"." + std::string(249, 'w')}));
        QCOMPARE(open.messages.size(), 1);
    }

    void leavingWithoutOkStoresNothing_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<Bytes>("stored");
        const Bytes some{EncodeFileTypeList({".avi"})};
        for (const char* way : {"Cancel", "Escape", "close box"}) {
            QTest::addRow("%s, nothing stored", way) << QString::fromLatin1(way) << Bytes{};
            QTest::addRow("%s, a list stored", way) << QString::fromLatin1(way) << some;
        }
    }
    void leavingWithoutOkStoresNothing() {
        QFETCH(QString, way);
        QFETCH(Bytes, stored);
        test::TestProfile profile;
        if (stored) {
            WriteProfileBinary(profile::kFileTypeExtensions.section,
                               profile::kFileTypeExtensions.name, *stored);
        }
        OpenDialog open;
        QVERIFY(open.Active());
        QVERIFY(open.Choose({kVideo, QStringLiteral("all")}));
        QListWidget* list = open.List();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QTest::mouseClick(open.dialog->findChild<QToolButton*>(QStringLiteral("Remove")),
                          Qt::LeftButton);
        if (way == QStringLiteral("Cancel")) {
            open.ClickButton("Cancel");
        } else if (way == QStringLiteral("Escape")) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        } else {
            open.dialog->close();
        }
        QVERIFY(!open.dialog->isVisible());
        QCOMPARE(open.dialog->result(), int(QDialog::Rejected));
        QCOMPARE(StoredBytes(), stored);
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::FileTypesTest)
#include "FileTypesTest.moc"
