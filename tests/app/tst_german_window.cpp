// SPDX-License-Identifier: GPL-3.0-or-later
// The window in the user's language. ctest runs this with LANGUAGE=de, as a German desktop
// session sets it; the translations are installed as the program installs them.
#include "TestPaths.h"
#include "app/CFrameDlg.h"
#include "app/CMorvaneApp.h"
#include "app/CMorvaneDlg.h"
#include "app/ShutdownCountdown.h"
#include "app/UserPrompts.h"
#include "controls/CCellListCtrl.h"
#include "media/AppPaths.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestGermanWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void firstLanguageSpokenWins_data();
    void firstLanguageSpokenWins();
    void pageSpeaksGerman();
    void qtsOwnButtonsSpeakGerman();

private:
    QTemporaryDir config;
};

void TestGermanWindow::initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    AppPaths::SetProgramDir(TestPaths::ProgramDir());
    QCOMPARE(CMorvaneApp::InstallTranslations(QLocale::system().uiLanguages()), QString("de"));
}

void TestGermanWindow::firstLanguageSpokenWins_data() {
    QTest::addColumn<QStringList>("uiLanguages");
    QTest::addColumn<QString>("translation");
    QTest::newRow("Austrian German") << QStringList{"de-AT", "en-US"} << "de";
    QTest::newRow("French first, none") << QStringList{"fr-FR", "de-DE"} << "de";
    // English is the program's own language: a German second choice must not win over it.
    QTest::newRow("English first") << QStringList{"en-GB", "de-DE"} << "";
}

void TestGermanWindow::firstLanguageSpokenWins() {
    QFETCH(QStringList, uiLanguages);
    QFETCH(QString, translation);
    QCOMPARE(CMorvaneApp::ChooseTranslation(uiLanguages), translation);
}

void TestGermanWindow::pageSpeaksGerman() {
    CFrameDlg frame;
    frame.show();
    auto* list = frame.findChild<CCellListCtrl*>();
    QVERIFY(list != nullptr);
    QStringList titles;
    for (int column = 0; column < list->GetColumnCount(); ++column)
        titles << list->GetHeaderCtrl()->model()->headerData(column, Qt::Horizontal).toString();
    QCOMPARE(titles, QStringList({"Quelle", "Startzeit", "Endzeit", "Ausgabe", "Fortschritt"}));
    auto* outputType = frame.findChild<QComboBox*>();
    QVERIFY(outputType != nullptr);
    QCOMPARE(outputType->itemText(2), QString("Handy: 3GP2-Dateien (3GP2 + AAC)"));
    auto* page = frame.findChild<CMorvaneDlg*>();
    QVERIFY(page != nullptr);
    QCOMPARE(qobject_cast<QLabel*>(page->Control(CMorvaneDlg::IdcDirectoryLabel))->text(),
             QString("Ausgabeordner:"));
    QCOMPARE(qobject_cast<QAbstractButton*>(page->Control(CMorvaneDlg::IdcBrowse))->text(),
             QString("Wählen"));
    // The batch menu: the controllers' actions and the items added beside them.
    std::unique_ptr<QMenu> menu(page->CreateBatchMenu());
    QStringList items;
    for (const QAction* item : menu->actions())
        items << item->text();
    QVERIFY2(items.contains("Nach den laufenden Aufträgen an&halten"), qPrintable(items.join('|')));
    QVERIFY2(items.contains("Protoko&ll anzeigen"), qPrintable(items.join('|')));
}

void TestGermanWindow::qtsOwnButtonsSpeakGerman() {
    CFrameDlg frame;
    frame.show();
    ShutdownCountdown countdown;
    UserPrompts prompts;
    prompts.ShowCountdown(&frame, &countdown);
    QMessageBox* box = nullptr;
    QTRY_VERIFY((box = frame.findChild<QMessageBox*>()) != nullptr && box->isVisible());
    QCOMPARE(box->windowTitle(), QString("Herunterfahren"));
    QCOMPARE(
        box->text(),
        QString("Umwandlung abgeschlossen. Der Computer wird in 60 Sekunden heruntergefahren."));
    // Qt's own translation: the standard button.
    QCOMPARE(box->button(QMessageBox::Cancel)->text(), QString("Abbrechen"));
    box->close();
}

QTEST_MAIN(TestGermanWindow)
#include "tst_german_window.moc"
