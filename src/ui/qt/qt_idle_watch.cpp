#include "ui/qt/qt_idle_watch.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include "update/firmware_image.h"
#include "update/firmware_signature.h"

namespace dalvorn {

QtIdleWatch::QtIdleWatch(DeviceMonitor* monitor) : monitor_(monitor) {}

QtIdleWatch::~QtIdleWatch() = default;

void QtIdleWatch::Start(IdleWatchEvents& events, const std::string& folder) {
  // Made anew; never called from inside the watch's own signals.
  Stop();
  events_ = &events;
  folder_ = folder;
  if (monitor_ != nullptr && monitor_->Descriptor() >= 0) {
    notifier_ = std::make_unique<QSocketNotifier>(monitor_->Descriptor(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { DevicesChanged(); });
  }
  files_ = std::make_unique<QFileSystemWatcher>();
  QObject::connect(files_.get(), &QFileSystemWatcher::directoryChanged,
                   [this](const QString&) { FolderChanged(); });
  QObject::connect(files_.get(), &QFileSystemWatcher::fileChanged,
                   [this](const QString&) { FolderChanged(); });
  WatchFolderFiles();
  timer_ = std::make_unique<QTimer>();
  timer_->setSingleShot(true);
  QObject::connect(timer_.get(), &QTimer::timeout, [this] {
    if (events_ != nullptr) events_->QuietTimeOver();
  });
}

// Quiets everything without deleting it: Stop may run inside one of the watch's own signals.
void QtIdleWatch::Stop() {
  events_ = nullptr;
  if (notifier_ != nullptr) notifier_->setEnabled(false);
  if (files_ != nullptr) {
    const QStringList watched = files_->files() + files_->directories();
    if (!watched.isEmpty()) files_->removePaths(watched);
  }
  if (timer_ != nullptr) timer_->stop();
}

void QtIdleWatch::StartQuietTimer(std::uint32_t milliseconds) {
  if (timer_ != nullptr) timer_->start(static_cast<int>(milliseconds));
}

void QtIdleWatch::DevicesChanged() {
  // Read whatever waits, so that the descriptor is quiet again, even with nobody to tell.
  const int changes = monitor_->TakeNotifications();
  for (int i = 0; i < changes && events_ != nullptr; ++i) events_->DeviceInterfaceChanged();
}

void QtIdleWatch::FolderChanged() {
  if (events_ == nullptr) return;
  WatchFolderFiles();
  events_->ProgramFolderChanged();
}

void QtIdleWatch::WatchFolderFiles() {
  const QString folder = QString::fromStdString(folder_);
  const std::string image = FirmwareImagePath(folder_);
  QStringList paths = {folder};
  for (const std::string& file : {image, SignaturePath(image)}) {
    const QString path = QString::fromStdString(file);
    if (QFileInfo::exists(path)) paths.append(path);
  }
  const QStringList watched = files_->files() + files_->directories();
  for (const QString& path : paths) {
    if (!watched.contains(path)) files_->addPath(path);
  }
}

}  // namespace dalvorn
