// The widget implementation of the UI services: boxes that do not block.
#include "ui/UiTestSupport.h"

#include "lang/QtTranslation.h"
#include "ui/QtUi.h"

#include <QTranslator>
#include <optional>

namespace
{

// The box the services show, once it is on screen.
template <typename Dialog> Dialog *openBox()
{
    WaitFor([] { return !Shown<Dialog>().isEmpty(); });
    return Shown<Dialog>().value(0);
}

class QtUiTest : public DataDirTest
{
protected:
    QtUi ui_{[] { return QStringLiteral("VALMOR Tankmon"); }};
};

// The caller is back before a box is answered; Qt's own buttons speak the
// program's language.
TEST_F(QtUiTest, BoxesAnswerLaterWithTitlesIconsDefaultsAndQtsOwnButtonsInTheLanguage)
{
    ASSERT_TRUE(InstallQtTranslation(*QCoreApplication::instance(), 1))
        << "Debian's qt6-translations-l10n (tools/setup.sh installs it)";
    std::optional<MsgResult> answer;
    // A question defaults to No and carries the program title when it has none.
    ui_.messageBox("Wirklich?", QString(), MsgIcon::Question, MsgButtons::YesNo,
                   [&](MsgResult r) { answer = r; });
    QMessageBox *box = openBox<QMessageBox>();
    ASSERT_TRUE(box && !answer);
    EXPECT_EQ(QStringList({box->windowTitle(), box->text(), box->button(QMessageBox::Yes)->text(),
                           box->defaultButton()->text(), QString::number(box->icon())}),
              QStringList({"VALMOR Tankmon", "Wirklich?", "&Ja", "&Nein", "4"}));
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, MsgResult::No);

    // The input box gives the typed text, or nothing when cancelled.
    QStringList typed;
    for (bool cancel : {false, true}) {
        ui_.inputBox("Ersten Tank eingeben: ", "Tanks löschen", "1", [&](const QString &t) { typed << t; });
        QInputDialog *d = openBox<QInputDialog>();
        ASSERT_NE(d, nullptr);
        typed << d->labelText() + "|" + d->textValue() + "|" + d->windowTitle();
        d->setTextValue("2,5");
        cancel ? d->reject() : d->accept();
        ASSERT_TRUE(WaitFor([&] { return typed.size() % 2 == 0; }));
    }
    EXPECT_EQ(typed, QStringList({"Ersten Tank eingeben: |1|Tanks löschen", "2,5",
                                  "Ersten Tank eingeben: |1|Tanks löschen", ""}));
    for (QTranslator *t : QCoreApplication::instance()->findChildren<QTranslator *>())
        QCoreApplication::removeTranslator(t);
}

} // namespace
