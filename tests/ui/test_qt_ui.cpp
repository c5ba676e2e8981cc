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

// Qt's own buttons speak the program's language.
TEST_F(QtUiTest, BoxesAnswerLaterWithTitlesIconsDefaultsAndQtsOwnButtonsInTheLanguage)
{
    ASSERT_TRUE(InstallQtTranslation(*QCoreApplication::instance(), 1))
        << "Debian's qt6-translations-l10n (tools/setup.sh installs it)";
    // The caller is back before the box is answered.
    std::optional<MsgResult> answer;
    ui_.messageBox("Wirklich?", QString(), MsgIcon::Question, MsgButtons::YesNo,
                   [&](MsgResult r) { answer = r; });
    QMessageBox *box = openBox<QMessageBox>();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(answer.has_value());
    // A question defaults to No and carries the program title when it has none.
    EXPECT_EQ(box->windowTitle() + "|" + box->text(), "VALMOR Tankmon|Wirklich?");
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    EXPECT_EQ(box->button(QMessageBox::Yes)->text() + box->button(QMessageBox::No)->text(), "&Ja&Nein");
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, MsgResult::No);
    answer.reset();
    ui_.messageBox("?", "Frage", MsgIcon::Question, MsgButtons::YesNo, [&](MsgResult r) { answer = r; });
    openBox<QMessageBox>()->button(QMessageBox::Yes)->click();
    ASSERT_TRUE(WaitFor([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, MsgResult::Yes);

    ui_.messageBox("x", "Fehler", MsgIcon::Stop, MsgButtons::Ok); // announced, nobody waits
    QPointer<QMessageBox> stop(openBox<QMessageBox>());
    ASSERT_FALSE(stop.isNull());
    EXPECT_EQ(stop->windowTitle() + "|" + QString::number(stop->buttons().size()), "Fehler|1");
    EXPECT_EQ(stop->icon(), QMessageBox::Critical);
    stop->button(QMessageBox::Ok)->click();
    ASSERT_TRUE(WaitFor([&] { return stop.isNull(); })) << "the box goes away by itself";

    // The input box gives the typed text, or nothing when cancelled.
    std::optional<QString> typed;
    ui_.inputBox("Ersten Tank eingeben: ", "Tanks löschen", "1", [&](const QString &t) { typed = t; });
    QInputDialog *d = openBox<QInputDialog>();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->labelText() + "|" + d->textValue() + "|" + d->windowTitle(),
              "Ersten Tank eingeben: |1|Tanks löschen");
    d->setTextValue("2,5");
    d->accept();
    ASSERT_TRUE(WaitFor([&] { return typed.has_value(); }));
    EXPECT_EQ(*typed, "2,5");

    typed.reset();
    ui_.inputBox("p", QString(), "1.5", [&](const QString &t) { typed = t; });
    openBox<QInputDialog>()->reject();
    ASSERT_TRUE(WaitFor([&] { return typed.has_value(); }));
    EXPECT_EQ(*typed, QString());
    EXPECT_FALSE(InstallQtTranslation(*QCoreApplication::instance(), 2)) << "English needs none";
    for (QTranslator *t : QCoreApplication::instance()->findChildren<QTranslator *>())
        QCoreApplication::removeTranslator(t);
}

} // namespace
