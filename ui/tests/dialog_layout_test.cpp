// The dialog as laid out from its template, its keys, and the About box.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <tuple>

#include "dialog_test_support.h"
#include "dialog_texts.h"
#include "ui/about_dialog.h"
#include "ui/dialog_units.h"

namespace korvanel::test {
namespace {

// The window's own controls (group boxes only frame others) each lie inside
// it and none covers another, whatever the font.
void ExpectControlsApartInside(const QWidget& window) {
  std::vector<const QWidget*> controls;
  for (const QWidget* w : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (!qobject_cast<const QGroupBox*>(w) && w->isVisibleTo(&window)) controls.push_back(w);
  ASSERT_FALSE(controls.empty());
  auto name = [](const QWidget* w) { return (w->objectName() + " " + w->metaObject()->className()).toStdString(); };
  for (std::size_t i = 0; i < controls.size(); ++i) {
    EXPECT_TRUE(window.rect().contains(controls[i]->geometry())) << name(controls[i]);
    for (std::size_t j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
          << name(controls[i]) << " / " << name(controls[j]);
  }
}

}  // namespace

TEST(DialogUnits, EdgesAreScaledAndRounded) {
  const DialogUnits du(8, 16);
  EXPECT_EQ(du.Rect(8, 22, 242, 14), QRect(16, 44, 484, 28));
  EXPECT_EQ(du.Size(274, 175), QSize(548, 350));
  // 7/4 and 15/8 per unit: edges are rounded, so neighbours still meet.
  const DialogUnits odd(7, 15);
  EXPECT_EQ(odd.X(1), 2);
  EXPECT_EQ(odd.Y(1), 2);
  EXPECT_EQ(odd.X(2), 4);  // 3.5 rounds up
  const QRect edit = odd.Rect(8, 22, 242, 14);
  const QRect button = odd.Rect(250, 22, 15, 14);
  EXPECT_EQ(edit.right() + 1, button.left());
  EXPECT_EQ(edit.top(), button.top());
  // From a font: proportional to its letters' width and its height.
  const DialogUnits fromFont{QFont()};
  EXPECT_GT(fromFont.CharWidth(), 2);
  EXPECT_GT(fromFont.CharHeight(), fromFont.CharWidth());
}

TEST(MainDialogLayout, TemplateTextsPlacesAndTabOrder) {
  DialogHarness h;
  MainDialog& dialog = h.Dialog();

  EXPECT_EQ(dialog.windowTitle(), "Korvanel v1.1");
  EXPECT_FALSE(dialog.windowIcon().isNull());
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

  auto group = [&](const char* name) { return dialog.findChild<QGroupBox*>(QString::fromLatin1(name)); };
  ASSERT_TRUE(group("inputGroup") && group("outputGroup"));
  EXPECT_EQ(group("inputGroup")->title(), " Input ");
  EXPECT_EQ(group("outputGroup")->title(), " Output ");
  auto* label = dialog.findChild<QLabel*>(QStringLiteral("mapsDirectoryLabel"));
  ASSERT_TRUE(label);
  EXPECT_EQ(label->text(), "Maps &directory:");
  EXPECT_EQ(label->buddy(), h.Edit("mapsDirectoryEdit"));

  EXPECT_EQ(h.Check("includeSubdirectoriesCheck")->text(), "Include subdirectories");
  EXPECT_EQ(h.Check("writeInfoFileCheck")->text(), "Output &info file:");
  EXPECT_EQ(h.Check("writeMinimapsCheck")->text(), "Output directory for &minimaps:");
  EXPECT_EQ(h.Check("laterFormatsCheck")->text(), "Also read .&w3x maps");
  EXPECT_EQ(h.Check("updateCatalogueCheck")->text(), "&Update the catalogue");
  EXPECT_EQ(h.Check("openGalleryCheck")->text(), "Open the &gallery when the run ends");
  for (const auto& [name, text, buddy] :
       {std::tuple{"catalogueLabel", "&Catalogue file (JSON Lines):", "catalogueEdit"},
        std::tuple{"picturesLabel", "&Pictures and gallery folder:", "picturesEdit"}}) {
    auto* l = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    ASSERT_TRUE(l) << name;
    EXPECT_EQ(l->text(), text);
    EXPECT_EQ(l->buddy(), h.Edit(buddy));
    // Level with the field it names, as the maps folder's label is.
    EXPECT_EQ(l->x(), h.Edit(buddy)->x()) << name;
  }
  // The new rows' fields and buttons stand in the first rows' columns, each
  // button level with its field (heights may round one pixel apart).
  for (const auto& [field, button] : {std::pair{"catalogueEdit", "browseCatalogueButton"},
                                      std::pair{"picturesEdit", "browsePicturesButton"}}) {
    EXPECT_EQ(h.Edit(field)->x(), h.Edit("infoFileEdit")->x()) << field;
    EXPECT_EQ(h.Edit(field)->width(), h.Edit("infoFileEdit")->width()) << field;
    EXPECT_EQ(h.Button(button)->x(), h.Button("browseInfoFileButton")->x()) << button;
    EXPECT_EQ(h.Button(button)->width(), h.Button("browseInfoFileButton")->width()) << button;
    EXPECT_EQ(h.Button(button)->y(), h.Edit(field)->y()) << button;
    EXPECT_EQ(h.Button(button)->height(), h.Edit(field)->height()) << button;
  }
  EXPECT_EQ(h.Check("laterFormatsCheck")->y(), h.Check("includeSubdirectoriesCheck")->y());
  for (const char* name : {"browseMapsButton", "browseInfoFileButton", "browseMinimapButton", "browseCatalogueButton",
                           "browsePicturesButton"})
    EXPECT_EQ(h.Button(name)->text(), "...") << name;
  EXPECT_EQ(h.Button("extractButton")->text(), "E&xtract Info!");
  EXPECT_TRUE(h.Button("extractButton")->isDefault());
  EXPECT_EQ(h.Button("quitButton")->text(), "&Quit");

  ExpectControlsApartInside(dialog);
  // Each group frames its own controls, below the room its title and frame
  // take in the style: nothing touches them.
  for (const auto& [frame, names] : std::vector<std::pair<const char*, std::vector<const char*>>>{
           {"inputGroup",
            {"mapsDirectoryLabel", "mapsDirectoryEdit", "browseMapsButton", "includeSubdirectoriesCheck",
             "laterFormatsCheck"}},
           {"outputGroup", {"writeInfoFileCheck", "infoFileEdit", "browseInfoFileButton", "writeMinimapsCheck",
                            "minimapDirectoryEdit", "browseMinimapButton", "catalogueLabel", "catalogueEdit",
                            "browseCatalogueButton", "updateCatalogueCheck", "picturesLabel", "picturesEdit",
                            "browsePicturesButton", "openGalleryCheck"}}}) {
    const QRect inside = group(frame)->geometry().marginsRemoved(group(frame)->contentsMargins());
    for (const char* name : names) {
      const QRect control = dialog.findChild<QWidget*>(QString::fromLatin1(name))->geometry();
      EXPECT_TRUE(group(frame)->geometry().contains(control)) << name;
      EXPECT_GE(control.top(), inside.top()) << name;
    }
  }
  EXPECT_LT(group("inputGroup")->geometry().bottom(), group("outputGroup")->geometry().top());

  // Empty fields, cleared boxes, "Ready!", the focus in the maps folder.
  for (const char* name :
       {"mapsDirectoryEdit", "infoFileEdit", "minimapDirectoryEdit", "catalogueEdit", "picturesEdit"})
    EXPECT_TRUE(h.Edit(name)->text().isEmpty()) << name;
  for (const char* name : {"includeSubdirectoriesCheck", "writeInfoFileCheck", "writeMinimapsCheck",
                           "laterFormatsCheck", "updateCatalogueCheck", "openGalleryCheck"})
    EXPECT_FALSE(h.Check(name)->isChecked()) << name;
  EXPECT_EQ(h.Edit("statusEdit")->text(), "Ready!");
  EXPECT_TRUE(h.Edit("statusEdit")->isReadOnly());
  EXPECT_EQ(dialog.focusWidget(), h.Edit("mapsDirectoryEdit"));

  // The tab chain follows the template, the new rows in their places; the
  // status line is not in it.
  std::vector<QString> chain;
  QWidget* widget = h.Edit("mapsDirectoryEdit");
  do {
    if ((widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && widget->isVisibleTo(&dialog))
      chain.push_back(widget->objectName());
    widget = widget->nextInFocusChain();
  } while (widget != h.Edit("mapsDirectoryEdit"));
  EXPECT_EQ(chain, (std::vector<QString>{"mapsDirectoryEdit", "browseMapsButton", "includeSubdirectoriesCheck",
                                         "laterFormatsCheck", "writeInfoFileCheck", "infoFileEdit",
                                         "browseInfoFileButton", "writeMinimapsCheck", "minimapDirectoryEdit",
                                         "browseMinimapButton", "catalogueEdit", "browseCatalogueButton",
                                         "updateCatalogueCheck", "picturesEdit", "browsePicturesButton",
                                         "openGalleryCheck", "extractButton", "quitButton", "aboutButton"}));
}

TEST(MainDialogKeys, EnterExtractsEscapeEndsQuitReads) {
  {
    DialogHarness h;
    QLineEdit* maps = h.Edit("mapsDirectoryEdit");
    maps->setFocus();
    QTest::keyClicks(maps, "somewhere");
    QTest::keyClick(maps, Qt::Key_Return);
    EXPECT_EQ(h.BoxTexts(), std::vector<std::string>{kNothingToDo});

    // Escape ends the dialog without reading the controls.
    QTest::keyClicks(h.Edit("infoFileEdit"), "typed");
    QTest::keyClick(h.Edit("infoFileEdit"), Qt::Key_Escape);
    EXPECT_FALSE(h.Dialog().isVisible());
    EXPECT_EQ(h.Dialog().result(), QDialog::Rejected);
    EXPECT_EQ(h.Dialog().options.infoFilePath, "");
  }
  {
    DialogHarness h;
    h.Fill("maps here", true, true, "info here", false, "minimaps here");
    h.Button("quitButton")->click();
    EXPECT_FALSE(h.Dialog().isVisible());
    EXPECT_EQ(h.Dialog().result(), QDialog::Accepted);
    EXPECT_EQ(h.Dialog().mapsDirectoryText, "maps here");
    EXPECT_EQ(h.Dialog().minimapDirectoryText, "minimaps here");
    EXPECT_EQ(h.Dialog().options.infoFilePath, "info here");
    EXPECT_TRUE(h.Dialog().options.includeSubdirectories);
    EXPECT_TRUE(h.boxes.empty());
  }
}

TEST(MainDialogMenu, AboutEntryAndBox) {
  {
    QMenu empty;
    QAction* about = AddAboutEntry(empty);
    ASSERT_EQ(empty.actions().size(), 1);
    EXPECT_EQ(about->text(), "&About Korvanel...");
  }

  // The dialog's context menu holds the entry, which opens the About box.
  DialogHarness h;
  bool aboutSeen = false;
  WhenModal([&](QWidget* window) {
    auto* menu = qobject_cast<QMenu*>(window);
    if (!menu) return false;
    const QList<QAction*> actions = menu->actions();
    EXPECT_EQ(actions.size(), 1);
    if (actions.isEmpty()) return false;
    EXPECT_EQ(actions[0]->text(), "&About Korvanel...");
    WhenModal([&](QWidget* about) {
      auto* box = qobject_cast<AboutDialog*>(about);
      if (!box) return false;
      aboutSeen = true;
      EXPECT_EQ(box->windowTitle(), "About Korvanel");
      ExpectControlsApartInside(*box);
      std::vector<QString> texts;
      for (QLabel* label : box->findChildren<QLabel*>())
        if (!label->text().isEmpty()) texts.push_back(label->text());
      EXPECT_NE(std::find(texts.begin(), texts.end(), "Korvanel Version 1.21"), texts.end());
      EXPECT_NE(std::find(texts.begin(), texts.end(), "Credits:"), texts.end());
      auto* icon = box->findChild<QLabel*>(QStringLiteral("iconLabel"));
      EXPECT_TRUE(icon && !icon->pixmap().isNull());
      auto* ok = box->findChild<QPushButton*>(QStringLiteral("okButton"));
      EXPECT_TRUE(ok && ok->isDefault() && ok->text() == "OK");
      QTest::keyClick(box, Qt::Key_Return);
      return true;
    });
    menu->setActiveAction(actions[0]);
    QTest::keyClick(menu, Qt::Key_Return);
    return true;
  });
  const QPoint where(20, 300);
  QContextMenuEvent event(QContextMenuEvent::Mouse, where, h.Dialog().mapToGlobal(where));
  QApplication::sendEvent(&h.Dialog(), &event);
  EXPECT_TRUE(aboutSeen);
  EXPECT_TRUE(h.Dialog().isVisible());
  EXPECT_EQ(h.Edit("statusEdit")->text(), "Ready!");

  // Also F1, and the "?" button in sight.
  auto* button = h.Dialog().findChild<QToolButton*>(QStringLiteral("aboutButton"));
  ASSERT_TRUE(button);
  EXPECT_EQ(button->text(), "?");
  EXPECT_TRUE(button->isVisible());
  // Shortcuts go to the active window.
  h.Dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&h.Dialog()));
  for (bool key : {true, false}) {
    aboutSeen = false;
    WhenModal([&](QWidget* about) {
      auto* box = qobject_cast<AboutDialog*>(about);
      if (!box) return false;
      aboutSeen = true;
      box->reject();
      return true;
    });
    if (key) QTest::keyClick(h.Edit("mapsDirectoryEdit"), Qt::Key_F1);
    else button->click();
    EXPECT_TRUE(aboutSeen) << key;
  }
}

}  // namespace korvanel::test
