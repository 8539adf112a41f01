#include "platform/DialogBuilder.h"
#include "res/EthernetPageTemplate.h"
#include "res/FieldbusPageTemplate.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AboutDlg.h"
#include "ui/EthernetPage.h"
#include "ui/FieldbusPage.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

struct PageCase {
    const char* name;
    std::function<CAttributePage*(QWidget*)> create;
    int editId;
};

// A page inside a dialog whose default button would fire on an Enter that reached it.
class PageKeysTest : public UiTest, public testing::WithParamInterface<PageCase> {
protected:
    void SetUp() override {
        UiTest::SetUp();
        auto* defaultButton = new QPushButton("Default", &dialog);
        defaultButton->setDefault(true);
        QObject::connect(defaultButton, &QPushButton::clicked, [this] { ++defaultClicks; });
        page.reset(GetParam().create(&dialog));
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        edit = GetDlgItemAs<QLineEdit>(*page, GetParam().editId);
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
    }

    QDialog dialog;
    std::unique_ptr<CAttributePage> page;
    QLineEdit* edit = nullptr;
    int defaultClicks = 0;
};

TEST_P(PageKeysTest, EnterAndEscapeCloseNothingAndChangeNothing) {
    edit->setText("12");
    const CNetAttributes ethernet = theApp.m_EthernetAttr;
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(edit, key);
        EXPECT_TRUE(dialog.isVisible()) << key;
        EXPECT_TRUE(page->isVisible()) << key;
    }
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(defaultClicks, 0);
    EXPECT_EQ(edit->text(), "12");
    EXPECT_EQ(theApp.m_EthernetAttr.BuildBlock(), ethernet.BuildBlock());
    EXPECT_TRUE(boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageKeysTest,
    testing::Values(
        PageCase{"Ethernet", [](QWidget* parent) { return new CEthernetPage(parent); }, IDC_ED_PORT_NUMBER},
        PageCase{"Fieldbus", [](QWidget* parent) { return new CFieldbusPage(parent); }, IDC_ED_NODE_ADDRESS}),
    [](const testing::TestParamInfo<PageCase>& info) { return info.param.name; });

// Opens an About box, notes what it shows, and ends it with `key`; returns DoModal's result.
int RunAboutBox(Qt::Key key, QStringList& shown) {
    // Dies with this call, so a box that never comes leaves no timer behind holding `shown`.
    QObject context;
    QTimer::singleShot(0, &context, [key, &shown] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return;
        shown.clear();
        shown << box->windowTitle();
        for (auto* label : box->findChildren<QLabel*>())
            shown << (label->pixmap().isNull() ? label->text() : QStringLiteral("<icon>"));
        QTest::keyClick(box, key);
    });
    CAboutDlg about;
    return about.DoModal();
}

TEST_F(UiTest, AboutBoxEndsOnEnterAndOnEscapeShowingTheSameEachTime) {
    QStringList first;
    QStringList second;
    EXPECT_EQ(RunAboutBox(Qt::Key_Return, first), 1);
    EXPECT_EQ(RunAboutBox(Qt::Key_Escape, second), 2);
    EXPECT_EQ(first, second);
    ASSERT_EQ(first.size(), 4);
    EXPECT_EQ(first[0], "About TALVOR_EthernetConfig");
    EXPECT_EQ(first[1], "<icon>");
    EXPECT_EQ(first[2], "TALVOR_EthernetConfig Version 1.0");
    EXPECT_FALSE(first[3].isEmpty());
}

} // namespace
