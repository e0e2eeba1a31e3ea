// The test-only exports, declared in SimDrvControl.h.
#include <algorithm>
#include <cstring>

#include "tools/simdrv/SimBox.h"
#include "tools/simdrv/SimDrvControl.h"

using simdrv::SimBox;

extern "C" {

void OV_STDCALL SimDrv_Reset() { SimBox::Instance().Reset(); }

void OV_STDCALL SimDrv_QueueEvent(std::int32_t code, const char* text, std::int32_t length) {
    TDriverEvent record{};
    record.Code = code;
    const int size = std::clamp<std::int32_t>(text ? length : 0, 0, simdrv::kEventTextSize);
    if (size) std::memcpy(record.Text, text, size);
    SimBox::Instance().Queue(record, 1);
}

void OV_STDCALL SimDrv_QueueRecord(const void* record, std::int32_t result) {
    TDriverEvent copy{};
    if (record) std::memcpy(&copy, record, sizeof copy);
    SimBox::Instance().Queue(copy, result);
}

std::int32_t OV_STDCALL SimDrv_PendingEvents() { return SimBox::Instance().Pending(); }
void OV_STDCALL SimDrv_FaultPolls(std::int32_t count) { SimBox::Instance().FaultPolls(count); }
void OV_STDCALL SimDrv_CrashPolls(std::int32_t count) { SimBox::Instance().CrashPolls(count); }
void OV_STDCALL SimDrv_FaultDisables(std::int32_t count) { SimBox::Instance().FaultDisables(count); }
void OV_STDCALL SimDrv_RecordSize(std::int32_t size) { SimBox::Instance().RecordSize(size); }
void OV_STDCALL SimDrv_BlockPolls(std::int32_t mode) { SimBox::Instance().BlockPolls(mode); }
void OV_STDCALL SimDrv_ReleasePolls() { SimBox::Instance().ReleasePolls(); }
std::int32_t OV_STDCALL SimDrv_BlockedPolls() { return SimBox::Instance().BlockedPolls(); }
std::int32_t OV_STDCALL SimDrv_LogCount() { return SimBox::Instance().LogCount(); }

std::int32_t OV_STDCALL SimDrv_LogEntry(std::int32_t index, simdrv::LogEntry* entry) {
    return entry && SimBox::Instance().LogAt(index, *entry) ? 1 : 0;
}

std::int32_t OV_STDCALL SimDrv_PlayScenario(const char* path, simdrv::ScenarioInfo* info) {
    simdrv::ScenarioInfo own{};
    SimBox::Instance().PlayScenario(path ? path : "", own);
    if (info) *info = own;
    return own.Events;
}

}  // extern "C"

