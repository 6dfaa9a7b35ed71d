#include "front/qt/QtPorts.h"

#include <QCursor>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include "platform/posix/Cp936Utf8.h"
#include "text/Cp936Texts.h"

namespace quarvo {

namespace {

QString Shown(const std::string& cp936) {
  return QString::fromStdString(Cp936ToUtf8(cp936));
}

// Message boxes break lines at "\n"; the program's texts break them as Windows does.
QString BoxText(const std::string& cp936) {
  return Shown(cp936).replace("\r\n", "\n");
}

}  // namespace

void QtWindowPort::Attach(MainWindow* window) {
  window_ = window;
  uiThread_ = window->thread();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_[static_cast<std::size_t>(UiText::MainCaption)] = texts::kMainCaption;
    texts_[static_cast<std::size_t>(UiText::Direction)] = texts::kDirectionUp;
    texts_[static_cast<std::size_t>(UiText::StartStop)] = texts::kStartCaption;
    texts_[static_cast<std::size_t>(UiText::Threads)] = "0";
  }
  const struct {
    QLineEdit* box;
    UiText control;
  } boxes[] = {{window->startIpEdit, UiText::StartIp},
               {window->endIpEdit, UiText::EndIp},
               {window->threadsEdit, UiText::Threads}};
  for (const auto& box : boxes) {
    // Only what the user types: texts the program sets are stored already.
    QObject::connect(box.box, &QLineEdit::textEdited, window,
                     [this, control = box.control](const QString& text) {
                       std::lock_guard<std::mutex> lock(mutex_);
                       texts_[static_cast<std::size_t>(control)] = Utf8ToCp936(text.toStdString());
                     });
  }
  for (std::size_t control = 0; control < kControls; ++control) Show(static_cast<UiText>(control));
}

std::string QtWindowPort::GetText(UiText control) {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_[static_cast<std::size_t>(control)];
}

void QtWindowPort::SetText(UiText control, const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_[static_cast<std::size_t>(control)] = text;
    pending_[static_cast<std::size_t>(control)] = true;
  }
  if (QThread::currentThread() == uiThread_.load()) {
    Show(control);
  } else {
    batcher_.Request();
  }
}

void QtWindowPort::CatchUp() {
  for (std::size_t control = 0; control < kControls; ++control) {
    bool pending = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pending = pending_[control];
    }
    if (pending) Show(static_cast<UiText>(control));
  }
}

void QtWindowPort::SetTitleNote(const std::string& utf8) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    titleNote_ = utf8;
  }
  Show(UiText::MainCaption);
}

void QtWindowPort::SetCaptionNote(std::function<std::string(const std::string&)> note) {
  captionNote_ = std::move(note);
}

void QtWindowPort::Show(UiText control) {
  if (window_ == nullptr) return;
  std::string text;
  std::string note;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    text = texts_[static_cast<std::size_t>(control)];
    pending_[static_cast<std::size_t>(control)] = false;
    note = titleNote_;
  }
  const QString shown = Shown(text);
  switch (control) {
    case UiText::MainCaption:
      if (captionNote_) note += captionNote_(text);
      window_->setWindowTitle(shown + QString::fromStdString(note));
      break;
    case UiText::StartIp:
      window_->startIpEdit->setText(shown);
      break;
    case UiText::EndIp:
      window_->endIpEdit->setText(shown);
      break;
    case UiText::Threads:
      window_->threadsEdit->setText(shown);
      break;
    case UiText::Direction:
      window_->directionLabel->setText(shown);
      break;
    case UiText::StartStop:
      window_->startStopButton->setText(shown);
      break;
  }
}

bool QtDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  return QMessageBox::question(owner_(), BoxText(caption), BoxText(text), QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

void QtDialogs::ShowError(const std::string& text) {
  QMessageBox::critical(owner_(), Shown(texts::kAppCaption), BoxText(text));
}

void QtDialogs::ShowMessage(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, BoxText(caption), BoxText(text), QMessageBox::Ok, owner_());
  box.exec();
}

void QtShell::ShowListMenuAtCursor() {
  if (MainWindow* window = window_()) window->listMenu->popup(QCursor::pos());
}

void QtShell::PostCloseRequest() {
  // Asynchronous, as a posted close request is: the menu command returns first.
  if (MainWindow* window = window_()) QTimer::singleShot(0, window, [window] { window->close(); });
}

}  // namespace quarvo
