#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "platform/thread_locale.h"
#include "res/string_ids.h"
#include "skin/base_dlg.h"
#include "skin/modal_questions.h"
#include "skin/msgbox_dlg.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_slider.h"
#include "testsupport/test_env.h"

namespace
{

using namespace skin;

// A dialog whose skin comes from a folder written by the test.
class TestDlg : public SkinnedDialog<CBaseDlg>
{
public:
    TestDlg() : SkinnedDialog<CBaseDlg>("IDD_TEST", 500, nullptr) {}
};

struct SkinFolder
{
    testsupport::ScopedTestEnv env;
    QString root = QString::fromStdString(env.Path("skins"));
    SkinFolder(const std::string& description, QSize bitmap = QSize(400, 200))
    {
        QDir().mkpath(root + "/neutral");
        testsupport::WriteFile(env.Path("skins/neutral/2.txt"), description);
        QImage img(bitmap, QImage::Format_RGB32);
        img.fill(Qt::darkGray);
        img.save(root + "/neutral/1.png");
    }
};

TEST(SkinnedDialog, SizeFromSectionAndDragByTitleBand)
{
    SkinFolder f("[IDD_TEST]\r\nsize=300 120\r\nskin_position=0 0\r\ntitle_height=23\r\n"
                 "[IDC_S]\r\nsize=50 10\r\nposition=7 9\r\ntext_color=1 2 3\r\n");
    TestDlg dlg;
    auto* s = dlg.Bind(new CSkinnedStatic(&dlg.Skin()), 1200, "IDC_S");
    dlg.InitSkin(1, 2, f.root);
    EXPECT_EQ(dlg.size(), QSize(300, 120));
    EXPECT_TRUE(dlg.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(s->geometry(), QRect(7, 9, 50, 10)); // the descendant got the skin-apply message
    EXPECT_EQ(s->TextColor(), QColor(1, 2, 3));
    EXPECT_EQ(s->Background(), QColor(Qt::black)); // no bg_color: black brush
    EXPECT_TRUE(s->Transparent());
    dlg.show();
    QTest::mousePress(&dlg, Qt::LeftButton, {}, QPoint(100, 22));
    EXPECT_TRUE(dlg.Dragging());
    QTest::mouseRelease(&dlg, Qt::LeftButton, {}, QPoint(100, 22));
    QTest::mousePress(&dlg, Qt::LeftButton, {}, QPoint(100, 23));
    EXPECT_FALSE(dlg.Dragging());
}

TEST(SkinnedDialog, DamagedDescriptionKeepsTemplateGeometry)
{
    SkinFolder f("garbage\n[IDD_TEST]\nsize=99999999 5\n[IDC_S]\nposition=a b\nsize=-3 4\n\n=");
    TestDlg dlg;
    dlg.resize(111, 66);
    auto* s = dlg.Bind(new CSkinnedStatic(&dlg.Skin()), 1200, "IDC_S");
    s->setGeometry(1, 2, 3, 4);
    dlg.InitSkin(1, 2, f.root);
    EXPECT_EQ(dlg.size(), QSize(111, 66));
    EXPECT_EQ(s->geometry(), QRect(1, 2, 3, 4));
}

TEST(SkinnedButton, PressOnlyInsideTheActiveRectangle)
{
    SkinFolder f("[IDD_TEST]\nsize=300 120\n[IDOK]\nbutton_size=80 24\nbutton_position=100 50\n"
                 "active_rect_size=60 16\nactive_rect_position=110 54\n"
                 "skin_button_position=0 130\nskin_button_position_pushed=80 130\n");
    TestDlg dlg;
    auto* b = dlg.Bind(new CSkinnedButton(&dlg.Skin()), 1, "IDOK");
    dlg.InitSkin(1, 2, f.root);
    dlg.show();
    EXPECT_EQ(b->geometry(), QRect(100, 50, 80, 24));
    EXPECT_EQ(b->ActiveRect(), QRect(10, 4, 60, 16));
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 12)); // inside the button, outside
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(dlg.isVisible());
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(40, 12));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(dlg.result(), IDOK); // OnCommand closed the dialog with OK
}

TEST(SkinnedIndicator, PicturesByValueAndTiles)
{
    SkinFolder f("[IDD_TEST]\n[IDC_I]\nsize=100 10\nposition=0 0\nsize_part=8 10\n"
                 "skin_part_position_00=0 0\nskin_part_position_25=0 10\n"
                 "skin_part_position_50=0 20\nskin_part_position_75=0 30\n");
    TestDlg dlg;
    auto* ind = dlg.Bind(new CSkinnedIndicator(&dlg.Skin()), 1201, "IDC_I");
    dlg.InitSkin(1, 2, f.root);
    auto picture = [&](int v)
    {
        ind->SetValue(v);
        return ind->Tiles().front().first.y();
    };
    EXPECT_EQ(picture(24), 0);
    EXPECT_EQ(picture(25), 10);
    EXPECT_EQ(picture(74), 20);
    EXPECT_EQ(picture(75), 30);
    EXPECT_EQ(picture(100), 30);
    ind->SetValue(130);
    EXPECT_EQ(ind->Value(), 100);
    ind->SetValue(-5);
    EXPECT_EQ(ind->Value(), 0);
    EXPECT_TRUE(ind->Tiles().empty());
    ind->SetValue(50);
    auto tiles = ind->Tiles();
    ASSERT_EQ(tiles.size(), 7u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(tiles[size_t(i)].second, QRect(i * 8, 0, 8, 10));
    EXPECT_EQ(tiles[6].second, QRect(48, 0, 2, 10));
}

TEST(SkinnedProgress, FullPictureFromMinimumToMaximum)
{
    SkinManager m;
    CSkinnedProgress p(&m);
    p.resize(120, 8);
    p.setRange(10, 110);
    p.setValue(10);
    EXPECT_EQ(p.FullWidth(), 0);
    p.setValue(110);
    EXPECT_EQ(p.FullWidth(), 120);
    p.setValue(60);
    EXPECT_EQ(p.FullWidth(), 60);
}

TEST(SkinnedSlider, DragMovesByTravelAndNotifies)
{
    SkinManager m;
    CSkinnedSlider s(&m);
    s.resize(240, 28);
    s.show();
    EXPECT_EQ(s.ThumbRect(), QRect(10 - 7, 14 - 10, 15, 21)); // defaults, position 0
    QSignalSpy spy(&s, &CSkinnedSlider::notify);
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(10, 14)); // on the thumb
    EXPECT_EQ(s.Pos(), 0);
    QTest::mouseMove(&s, QPoint(31, 14));
    EXPECT_EQ(s.Pos(), 10);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(31, 14));
    std::vector<int> codes;
    for (const auto& args : spy)
        codes.push_back(args[0].toInt());
    EXPECT_EQ(codes.back(), 8);
    EXPECT_EQ(std::vector<int>(codes.end() - 3, codes.end()), (std::vector<int>{4, -16, 8}));
    EXPECT_EQ(codes.front(), 5);
    s.SetRange(5, 5);
    EXPECT_TRUE(s.ThumbRect().isEmpty());
    s.SetRange(0, 100);
    s.SetPos(1000);
    EXPECT_EQ(s.Pos(), 100);

    // the keys: a step, a tenth, the ends; each move ends at once, none past the ends
    spy.clear();
    s.SetRange(0, 1000);
    s.SetPos(500);
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Right, 520},  {Qt::Key_Down, 500},
                                            {Qt::Key_PageUp, 600}, {Qt::Key_End, 1000},
                                            {Qt::Key_Up, 1000},    {Qt::Key_Home, 0}};
    for (const auto& [key, at] : keys)
    {
        QTest::keyClick(&s, key);
        EXPECT_EQ(s.Pos(), at) << key;
    }
    ASSERT_EQ(spy.size(), 10); // two a move; Up at the end moved nothing
    EXPECT_EQ(spy.back()[0].toInt(), CSkinnedSlider::kEndScroll);
    EXPECT_EQ(spy.back()[1].toInt(), 0);
}

TEST(SkinnedCheck, PicturesByState)
{
    SkinFolder f("[IDD_TEST]\n[IDC_C]\nsize=16 16\nposition=0 0\nskin_position=1 0\n"
                 "skin_position_pushed=2 0\nskin_position_disabled=3 0\n"
                 "skin_position_checked=4 0\nskin_position_checked_disabled=5 0\n");
    TestDlg dlg;
    auto* c = dlg.Bind(new CSkinnedCheck(&dlg.Skin()), 1202, "IDC_C");
    dlg.InitSkin(1, 2, f.root);
    EXPECT_EQ(c->StatePicture().x(), 1);
    c->SetCheck(1);
    EXPECT_EQ(c->StatePicture().x(), 4);
    c->setEnabled(false);
    EXPECT_EQ(c->StatePicture().x(), 5);
    c->SetCheck(0);
    EXPECT_EQ(c->StatePicture().x(), 3);
}

TEST(MessageOperation, GoesThroughTheQuestionServiceWithFormattedText)
{
    ScriptedResponder answers;
    answers.AnswerMessage(IDYES);
    CBaseDlg dlg;
    EXPECT_EQ(dlg.Message(res::ids::kTimersOverlap, res::ids::kMessageTitle, 0x24, 1, 3), IDYES);
    ASSERT_EQ(answers.AskedQuestions().size(), 1u);
    EXPECT_EQ(answers.AskedQuestions()[0].text,
              "Timers 1 and 3 are overlapped. Please change values.");
    EXPECT_EQ(answers.AskedQuestions()[0].style, 0x24u);
    EXPECT_EQ(dlg.Message("plain", 0x30), IDOK); // unscripted: counted, answered OK
    EXPECT_EQ(answers.Unexpected(), 1);
    EXPECT_EQ(QtFileFilter("Sound files (*.wav)|*.wav||"), "Sound files (*.wav)");
}

TEST(MsgBox, StylesChooseButtonsLayoutAndIcon)
{
    CMsgBoxDlg ask(nullptr, "Delete?", 0x24);
    EXPECT_EQ(CMsgBoxDlg::BitmapFor(0x24), 249);
    EXPECT_TRUE(ask.Yes()->isVisibleTo(&ask));
    EXPECT_TRUE(ask.No()->isVisibleTo(&ask));
    EXPECT_FALSE(ask.Ok()->isVisibleTo(&ask));
    EXPECT_TRUE(ask.Icon(CMsgBoxDlg::IDC_ICON_ASK)->isVisibleTo(&ask));
    EXPECT_FALSE(ask.Icon(CMsgBoxDlg::IDC_ICON_WARNING)->isVisibleTo(&ask));
    ask.show();
    ask.No()->click();
    EXPECT_EQ(ask.result(), IDNO);

    CMsgBoxDlg warn(nullptr, "Careful", 0x30);
    EXPECT_EQ(CMsgBoxDlg::BitmapFor(0x30), 248);
    EXPECT_TRUE(warn.Ok()->isVisibleTo(&warn));
    EXPECT_FALSE(warn.Yes()->isVisibleTo(&warn));
    EXPECT_TRUE(warn.Icon(CMsgBoxDlg::IDC_ICON_WARNING)->isVisibleTo(&warn));
    EXPECT_EQ(warn.Text()->text(), "Careful");
    EXPECT_EQ(CMsgBoxDlg::IconFor(0x50), 0);
    EXPECT_EQ(CMsgBoxDlg::IconFor(0x13), CMsgBoxDlg::IDC_ICON_ERROR);
}

} // namespace

#include "skin/skinned_more.h"

namespace
{

TEST(SkinnedMenu, SpansBetweenItemRights)
{
    SkinFolder f("[IDD_TEST]\n[IDC_STATIC_MENU]\nsize=400 20\nposition=0 0\nitem_count=3\n"
                 "item_right=48 135 206\n");
    TestDlg dlg;
    auto* m = dlg.Bind(new CSkinnedMenu(&dlg.Skin()), 1103, "IDC_STATIC_MENU");
    dlg.InitSkin(1, 2, f.root);
    EXPECT_EQ(m->ItemAt(0), 0);
    EXPECT_EQ(m->ItemAt(47), 0);
    EXPECT_EQ(m->ItemAt(48), 1); // right edges are exclusive
    EXPECT_EQ(m->ItemAt(49), 1);
    EXPECT_EQ(m->ItemAt(206), -1);
    QMenu file;
    QAction* exit = file.addAction("Exit");
    QSignalSpy triggered(exit, &QAction::triggered);
    m->SetMenu({&file});
    dlg.show();
    QTest::mousePress(m, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_NE(m->OpenPopup(), nullptr);
    EXPECT_GE(m->OpenPopup()->width(), 112);
    QTest::mouseRelease(m->OpenPopup(), Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_EQ(triggered.count(), 1);
}

TEST(SkinnedSpin, HalvesAndBuddy)
{
    SkinFolder f("[IDD_TEST]\n[IDC_SPIN]\nsize=12 9\nposition_up=10 10\n");
    TestDlg dlg;
    QLineEdit buddy(&dlg);
    auto* s = dlg.Bind(new CSkinnedSpin(&dlg.Skin()), 1140, "IDC_SPIN");
    dlg.InitSkin(1, 2, f.root);
    s->SetBuddy(&buddy);
    s->SetRange(3, 30);
    s->SetPos(45);
    EXPECT_EQ(buddy.text(), "30");
    EXPECT_EQ(s->height(), 19);
    dlg.show();
    QTest::mousePress(s, Qt::LeftButton, {}, QPoint(5, 12));
    EXPECT_EQ(s->PressedHalf(), 2);
    EXPECT_EQ(buddy.text(), "29");
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(5, 12));
    EXPECT_EQ(s->PressedHalf(), 0);
    buddy.setEnabled(false);
    QTest::mousePress(s, Qt::LeftButton, {}, QPoint(5, 2));
    EXPECT_EQ(s->PressedHalf(), 0); // a disabled buddy ignores presses
}

TEST(SkinnedDateTime, TextByStyle)
{
    SkinManager m;
    CSkinnedDateTime date(&m, false), time(&m, true);
    QDateTime v(QDate(2026, 12, 8), QTime(9, 5, 7));
    date.setDateTime(v);
    time.setDateTime(v);
    EXPECT_EQ(date.DisplayText(), "08.12.2026");
    EXPECT_EQ(time.DisplayText(), "09:05:07");
    time.SetCustomFormat("HH:mm");
    EXPECT_EQ(time.DisplayText(), "09:05");
}

TEST(SkinnedDateTime, PaintsItsFieldPictureUnderTheText)
{
    SkinFolder f("[IDD_TEST]\nsize=300 120\nskin_position=0 0\n[IDC_DTP]\nposition=20 30\n"
                 "size=60 20\nskin_position=100 150\nbg_color=10 20 30\ntext_color=200 200 200\n");
    // the field's picture, with a border colour of its own, lies below the background
    QImage img(QSize(400, 200), QImage::Format_RGB32);
    img.fill(Qt::darkGray);
    for (int x = 100; x < 160; ++x)
        for (int y = 150; y < 170; ++y)
            img.setPixelColor(x, y, QColor(250, 0, 0));
    img.save(f.root + "/neutral/1.png");
    TestDlg dlg;
    auto* d = dlg.Bind(new CSkinnedDateTime(&dlg.Skin(), false), 1210, "IDC_DTP");
    dlg.InitSkin(1, 2, f.root);
    dlg.show();
    EXPECT_EQ(d->geometry(), QRect(20, 30, 60, 20));
    const QImage shot = dlg.grab().toImage();
    EXPECT_EQ(shot.pixelColor(20, 30), QColor(250, 0, 0)); // the border from the picture
    EXPECT_EQ(shot.pixelColor(79, 49), QColor(250, 0, 0));
    EXPECT_EQ(shot.pixelColor(21, 31), QColor(10, 20, 30)); // bg_color inside it
    EXPECT_EQ(shot.pixelColor(60, 31), QColor(10, 20, 30)); // also under the text field
    // the value is written in text_color
    bool text = false;
    for (int x = 22; x < 79 && !text; ++x)
        for (int y = 31; y < 49 && !text; ++y)
            text = shot.pixelColor(x, y) == QColor(200, 200, 200);
    EXPECT_TRUE(text);
    EXPECT_EQ(shot.pixelColor(19, 30), QColor(Qt::darkGray)); // the dialog around it
}

} // namespace

TEST(SkinnedCombo, TheDropDownListIsDrawnInTheSectionsColours)
{
    SkinFolder f("[IDD_TEST]\n[IDC_COMBO]\nsize=120 20\nposition=10 10\nedit_size=100 18\n"
                 "bg_color=32 40 48\ntext_color=238 238 238\nselected_bg_color=46 196 182\n"
                 "selected_text_color=21 24 28\n");
    TestDlg dlg;
    auto* combo = dlg.Bind(new CSkinnedCombo(&dlg.Skin()), 1001, "IDC_COMBO");
    combo->addItems({"Internal mic", "Left external mic", "Line input"});
    dlg.InitSkin(1, 2, f.root);
    dlg.show();
    combo->setCurrentIndex(1);
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const QImage shot = list->window()->grab().toImage();
    const QRect current = list->visualRect(combo->model()->index(1, 0));
    const QPoint inCurrent = list->viewport()->mapTo(list->window(), current.topLeft()) +
                             QPoint(current.width() - 4, current.height() / 2);
    const QPoint inOther = list->viewport()->mapTo(
        list->window(), list->visualRect(combo->model()->index(0, 0)).center());
    const auto colour = [&](QPoint p) { return shot.pixelColor(p * shot.devicePixelRatio()); };
    // the style may shade the selection by a step
    const auto near = [](QColor a, QColor b)
    {
        return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
               std::abs(a.blue() - b.blue()) <= 3;
    };
    EXPECT_TRUE(near(colour(inCurrent), QColor(46, 196, 182)))
        << colour(inCurrent).name().toStdString();
    EXPECT_TRUE(near(colour(inOther), QColor(32, 40, 48))) << colour(inOther).name().toStdString();
    combo->hidePopup();

    // in Arabic the items' text starts at the right edge of the list
    const auto textSpan = [&](const QImage& image, const QRect& row)
    {
        int left = row.right(), right = row.left();
        for (int x = row.left(); x <= row.right(); ++x)
            for (int y = row.top(); y <= row.bottom(); ++y)
                if (image.pixelColor(x, y).red() > 150 && image.pixelColor(x, y).blue() > 150)
                {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        return std::pair{left, right};
    };
    const QRect other =
        QRect(list->viewport()->mapTo(list->window(),
                                      list->visualRect(combo->model()->index(0, 0)).topLeft()),
              list->visualRect(combo->model()->index(0, 0)).size());
    const auto [ltrLeft, ltrRight] = textSpan(shot, other);
    EXPECT_LT(ltrLeft, other.left() + other.width() / 4);
    platform::SetThreadLocale(1025);
    dlg.InitSkin(1, 2, f.root);
    platform::SetThreadLocale(1033);
    combo->showPopup();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const auto [rtlLeft, rtlRight] = textSpan(list->window()->grab().toImage(), other);
    EXPECT_GT(rtlRight, other.right() - other.width() / 4);
    EXPECT_GT(rtlLeft, ltrLeft);
    combo->hidePopup();
}

TEST(SkinnedMenu, LettersAndTheFirstMenuFollowTheReadingOrder)
{
    SkinFolder f("[IDD_TEST]\n[IDC_STATIC_MENU]\nsize=400 20\nposition=0 0\nitem_count=4\n"
                 "item_right=40 100 160 220\n");
    TestDlg dlg;
    auto* m = dlg.Bind(new CSkinnedMenu(&dlg.Skin()), 1103, "IDC_STATIC_MENU");
    dlg.InitSkin(1, 2, f.root);
    QMenu file("Файл"), record("Запись"), save("Сохранить"), help("Справка");
    m->SetMenu({&file, &record, &save, &help});
    // a letter taken by an earlier title passes on to the next letter of the later one
    EXPECT_EQ(m->Mnemonic(0), QChar(u'ф'));
    EXPECT_EQ(m->Mnemonic(1), QChar(u'з'));
    EXPECT_EQ(m->Mnemonic(2), QChar(u'с'));
    EXPECT_EQ(m->Mnemonic(3), QChar(u'п'));
    // right to left: the reading order starts at the right, after the blank start
    QMenu home("Home");
    m->SetMenu({nullptr, &help, &home}, true);
    EXPECT_EQ(m->Mnemonic(0), QChar());
    EXPECT_EQ(m->Mnemonic(2), QChar('h'));
    EXPECT_EQ(m->Mnemonic(1), QChar(u'с'));
    dlg.show();
    QTest::keyClick(&dlg, Qt::Key_Alt);
    ASSERT_NE(m->OpenPopup(), nullptr);
    EXPECT_EQ(m->Highlighted(), 2);
    QTest::keyClick(m->OpenPopup(), Qt::Key_Left); // the neighbour on screen
    ASSERT_NE(m->OpenPopup(), nullptr);
    EXPECT_EQ(m->Highlighted(), 1);
    QTest::keyClick(m->OpenPopup(), Qt::Key_Left); // past the blank span, round to the right
    EXPECT_EQ(m->Highlighted(), 2);
    QTest::keyClick(m->OpenPopup(), Qt::Key_Escape);
    EXPECT_EQ(m->OpenPopup(), nullptr);
}
