#include "win32/critical_section.h"

void InitializeCriticalSection(CRITICAL_SECTION* section) {
  section->mutex = new std::recursive_mutex;
}
void EnterCriticalSection(CRITICAL_SECTION* section) { section->mutex->lock(); }
void LeaveCriticalSection(CRITICAL_SECTION* section) { section->mutex->unlock(); }
void DeleteCriticalSection(CRITICAL_SECTION* section) {
  delete section->mutex;
  section->mutex = nullptr;
}
