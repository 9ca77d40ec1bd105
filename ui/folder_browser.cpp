#include "ui/folder_browser.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/file.h"
#include "platform/text.h"
#include "ui/dialog_units.h"
#include "ui/text_conversion.h"

namespace korvanel {
namespace {

constexpr std::size_t kStatusBytes = 35;
constexpr int kPathRole = Qt::UserRole;
constexpr int kListedRole = Qt::UserRole + 1;

QTreeWidgetItem* NewFolderItem(const QString& name, const QString& path) {
  auto* item = new QTreeWidgetItem(QStringList(name));
  item->setData(0, kPathRole, path);
  item->setIcon(0, QApplication::style()->standardIcon(QStyle::SP_DirIcon));
  // Folders are listed when first opened; until then they may have some.
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

// Hidden folders are listed too: a game installed under Wine lives in one.
void ListSubfolders(QTreeWidgetItem* item) {
  if (item->data(0, kListedRole).toBool()) return;
  item->setData(0, kListedRole, true);
  const QDir dir(item->data(0, kPathRole).toString());
  const QFileInfoList folders =
      dir.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& folder : folders) item->addChild(NewFolderItem(folder.fileName(), folder.filePath()));
  if (item->childCount() == 0) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

QTreeWidgetItem* FindChild(QTreeWidgetItem* parent, const QString& name) {
  ListSubfolders(parent);
  for (int i = 0; i < parent->childCount(); ++i)
    if (parent->child(i)->text(0) == name) return parent->child(i);
  return nullptr;
}

}  // namespace

FolderBrowser::FolderBrowser(std::string initialFolder, QWidget* owner)
    : initialFolder_(std::move(initialFolder)), owner_(owner) {}

int FolderBrowser::DoModal() {
  selectedPath_ = initialFolder_;

  QDialog dialog(owner_);
  dialog.setObjectName(QStringLiteral("folderBrowser"));
  dialog.setWindowTitle(QStringLiteral("Browse For Folder"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* title = new QLabel(QStringLiteral("Current Selection:"), &dialog);
  title->setTextFormat(Qt::PlainText);
  auto* status = new QLabel(&dialog);
  status->setObjectName(QStringLiteral("statusLabel"));
  status->setTextFormat(Qt::PlainText);
  auto* tree = new QTreeWidget(&dialog);
  tree->setObjectName(QStringLiteral("folderTree"));
  tree->setHeaderHidden(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setEnabled(false);
  layout->addWidget(title);
  layout->addWidget(status);
  layout->addWidget(tree, 1);
  layout->addWidget(buttons);
  dialog.resize(DialogUnits(dialog.font()).Size(200, 220));

  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(tree, &QTreeWidget::itemExpanded, tree, [](QTreeWidgetItem* item) { ListSubfolders(item); });
  QObject::connect(tree, &QTreeWidget::currentItemChanged, tree, [this, ok](QTreeWidgetItem* current) {
    ok->setEnabled(current != nullptr);
    OnSelChanged(current);
  });

  tree->addTopLevelItem(NewFolderItem(QStringLiteral("/"), QStringLiteral("/")));
  tree_ = tree;
  status_ = status;
  OnInitialized();

  const int answer = dialog.exec();
  QTreeWidgetItem* chosen = tree->currentItem();
  int result = 2;
  if (answer == QDialog::Accepted && chosen) {
    selectedPath_ = ToBytes(chosen->data(0, kPathRole).toString());
    result = 1;
  }
  tree_ = nullptr;
  status_ = nullptr;
  return result;
}

void FolderBrowser::OnInitialized() {
  tree_->expandItem(tree_->topLevelItem(0));
  if (!initialFolder_.empty()) SelectFolder(initialFolder_);
  status_->setText(ToQString(ShortenForStatus(initialFolder_)));
}

void FolderBrowser::OnSelChanged(QTreeWidgetItem* item) {
  selectedPath_ = item ? ToBytes(item->data(0, kPathRole).toString()) : std::string();
  status_->setText(ToQString(ShortenForStatus(selectedPath_)));
}

void FolderBrowser::SelectFolder(const std::string& path) {
  const QString absolute = QDir::cleanPath(QDir(ToQString(path)).absolutePath());
  QTreeWidgetItem* item = tree_->topLevelItem(0);
  for (const QString& name : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    QTreeWidgetItem* child = FindChild(item, name);
    if (!child) break;
    tree_->expandItem(item);
    item = child;
  }
  tree_->setCurrentItem(item);
  tree_->scrollToItem(item);
}

std::string ShortenForStatus(std::string_view text) {
  if (text.size() <= kStatusBytes) return std::string(text);
  std::size_t cut = kStatusBytes;
  // Back off to the start of a UTF-8 sequence the cut would split.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

std::string InitialBrowseFolder(std::string_view fieldText, const std::string& installPath) {
  const std::string folder(TrimWhiteSpace(fieldText));
  if (!folder.empty() && IsExistingDirectory(folder)) return folder;
  return installPath;
}

}  // namespace korvanel
