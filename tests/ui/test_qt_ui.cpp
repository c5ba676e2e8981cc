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
    const auto answered = [&] {
        EXPECT_TRUE(WaitFor([&] { return answer.has_value(); }));
        return std::exchange(answer, std::nullopt).value_or(MsgResult::Cancel);
    };
    // A question defaults to No and carries the program title when it has none.
    ui_.messageBox("Wirklich?", QString(), MsgIcon::Question, MsgButtons::YesNo,
                   [&](MsgResult r) { answer = r; });
    QMessageBox *box = openBox<QMessageBox>();
    ASSERT_TRUE(box && !answer);
    EXPECT_EQ(QStringList({box->windowTitle(), box->text(), box->button(QMessageBox::Yes)->text(),
                           box->defaultButton()->text()}),
              QStringList({"VALMOR Tankmon", "Wirklich?", "&Ja", "&Nein"}));
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(answered(), MsgResult::No);
    ui_.messageBox("?", "Frage", MsgIcon::Question, MsgButtons::YesNo, [&](MsgResult r) { answer = r; });
    openBox<QMessageBox>()->button(QMessageBox::Yes)->click();
    EXPECT_EQ(answered(), MsgResult::Yes);

    ui_.messageBox("x", "Fehler", MsgIcon::Stop, MsgButtons::Ok); // announced, nobody waits
    QPointer<QMessageBox> stop(openBox<QMessageBox>());
    ASSERT_FALSE(stop.isNull());
    EXPECT_EQ(stop->windowTitle() + "|" + QString::number(stop->buttons().size()), "Fehler|1");
    EXPECT_EQ(stop->icon(), QMessageBox::Critical);
    stop->button(QMessageBox::Ok)->click();
    ASSERT_TRUE(WaitFor([&] { return stop.isNull(); })) << "the box goes away by itself";

    // The input box gives the typed text, or nothing when cancelled.
    std::optional<QString> typed;
    for (bool cancel : {false, true}) {
        ui_.inputBox("Ersten Tank eingeben: ", "Tanks löschen", "1", [&](const QString &t) { typed = t; });
        QInputDialog *d = openBox<QInputDialog>();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->labelText() + "|" + d->textValue() + "|" + d->windowTitle(),
                  "Ersten Tank eingeben: |1|Tanks löschen");
        d->setTextValue("2,5");
        cancel ? d->reject() : d->accept();
        ASSERT_TRUE(WaitFor([&] { return typed.has_value(); }));
        EXPECT_EQ(*std::exchange(typed, std::nullopt), cancel ? "" : "2,5");
    }
    EXPECT_FALSE(InstallQtTranslation(*QCoreApplication::instance(), 2)) << "English needs none";
    for (QTranslator *t : QCoreApplication::instance()->findChildren<QTranslator *>())
        QCoreApplication::removeTranslator(t);
}

} // namespace
