#include "framework/Units.h"

#include <algorithm>
#include <vector>

namespace lumek {

namespace {

struct Unit {
  int priority;
  int order;
  void (*initialize)();
  void (*finalize)();
};

std::vector<Unit>& Registered() {
  static std::vector<Unit> units;
  return units;
}

std::vector<Unit>& Initialized() {
  static std::vector<Unit> units;
  return units;
}

std::vector<void (*)()>& ExitProcedures() {
  static std::vector<void (*)()> procedures;
  return procedures;
}

}  // namespace

UnitRegistration::UnitRegistration(int priority, void (*initialize)(), void (*finalize)()) {
  auto& units = Registered();
  units.push_back(Unit{priority, static_cast<int>(units.size()), initialize, finalize});
}

void InitializeUnits() {
  std::vector<Unit> units = Registered();
  std::stable_sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) { return a.priority < b.priority; });
  for (const Unit& unit : units) {
    if (unit.initialize) unit.initialize();
    Initialized().push_back(unit);
  }
}

void FinalizeUnits() {
  auto& units = Initialized();
  while (!units.empty()) {
    Unit unit = units.back();
    units.pop_back();
    if (unit.finalize) unit.finalize();
  }
}

void AddExitProcedure(void (*procedure)()) { ExitProcedures().push_back(procedure); }

void RunExitProcedures() {
  auto& procedures = ExitProcedures();
  while (!procedures.empty()) {
    auto procedure = procedures.back();
    procedures.pop_back();
    procedure();
  }
}

}  // namespace lumek
