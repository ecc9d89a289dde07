#include "shell/ui/app/startup_only_dialog.h"

#include <QCoreApplication>
#include <QTimer>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/userio/user_io_thread.h"

CStartupOnlyDialog::CStartupOnlyDialog(MainDialogContext& context) : context_(context) {}

CStartupOnlyDialog::~CStartupOnlyDialog() { StopWorkers(); }

void CStartupOnlyDialog::Start() {
  UserIoSeams seams;
  seams.prompts = context_.prompts;
  userIo_ = std::make_unique<CUserIOThread>(context_.settings, seams);
  SetTargetThread(PT_USER_IO, userIo_->Id());
  userIo_->Create();
  QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
}

void CStartupOnlyDialog::StopWorkers() {
  if (!userIo_) return;
  PostToTarget<WM_QUIT_THREAD>(PT_USER_IO);
  userIo_->Join();
  SetTargetThread(PT_USER_IO, platform::kNoHandle);
  userIo_.reset();
}
