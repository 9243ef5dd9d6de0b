#pragma once
// Unit start-up and shut-down: each unit that makes a global object registers
// an initializer and a finalizer with a priority. Start-up runs them from
// priority 0 to 255 (registration order within one priority), shut-down in
// exactly the reverse order.
namespace lumek {

struct UnitRegistration {
  UnitRegistration(int priority, void (*initialize)(), void (*finalize)());
};

void InitializeUnits();
void FinalizeUnits();

// Procedures run after WinMain returns, before the units are finalized.
void AddExitProcedure(void (*procedure)());
void RunExitProcedures();

}  // namespace lumek
