#include "engine/core/on_device_event.h"

#include <memory>

#include "engine/core/device_event_table.h"
#include "engine/core/error_record.h"
#include "engine/core/finish_record.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/progress_record.h"
#include "engine/core/region_list.h"

namespace {

void ReleaseEventLists(const DeviceEvent& event, EventListRelease release) {
  if (release == EventListRelease::None) return;
  ReleaseRegionList(event.listA);
  // Released twice only if a device object reports one list as both.
  if (release == EventListRelease::ListsAandB && event.listB != event.listA) {
    ReleaseRegionList(event.listB);
  }
}

std::unique_ptr<ProgressRecord> MakeProgress(const DeviceEvent& event, bool zero) {
  auto record = std::make_unique<ProgressRecord>();
  record->device = event.device;
  record->eventCode = event.eventCode;
  record->done = zero ? 0 : event.argument;
  record->total = zero ? 0 : event.total;
  return record;
}

std::unique_ptr<FinishRecord> MakeFinish(const DeviceEvent& event) {
  auto record = std::make_unique<FinishRecord>();
  record->device = event.device;
  record->eventCode = event.eventCode;
  return record;
}

void PostForAction(const DeviceEvent& event, CoreEventAction action) {
  switch (action) {
    case CoreEventAction::None: return;
    case CoreEventAction::Progress:
    case CoreEventAction::ProgressZero:
      PostToTarget<WM_JOB_PROGRESS>(PT_CORE,
                   MakeProgress(event, action == CoreEventAction::ProgressZero));
      return;
    case CoreEventAction::Error:
      PostToTarget<WM_JOB_ERROR>(PT_CORE,
                   MakeErrorRecord(event.device, event.eventCode, event.argument, event.errorDetails,
                                   event.systemReason));
      return;
    case CoreEventAction::Cancel: PostToTarget<WM_CANCEL_QUEUED>(PT_CORE, MakeFinish(event)); return;
    case CoreEventAction::Finish: PostToTarget<WM_JOB_FINISHED>(PT_CORE, MakeFinish(event)); return;
    case CoreEventAction::Save:
      PostToTarget<WM_SAVE_READ_FILE>(PT_CORE, static_cast<platform::WParam>(event.device));
      return;
  }
}

}  // namespace

int OnDeviceEvent(const DeviceEvent& event) {
  if (event.eventCode < 0 || event.eventCode > kLastDeviceObjectEvent) return 0;
  const DeviceEventInfo* info = GetDeviceEventInfo(event.eventCode);
  ReleaseEventLists(event, info->release);
  PostForAction(event, info->action);
  return 0;
}
