#pragma once
// Where an automation object sends its events. The COM layer implements it
// over the connection point: Fire invokes the connected sink with the DISPID
// (no arguments, synchronously) and does nothing while no sink is connected.
// Fire never fails: whatever the client's handler returns is ignored, so the
// object's own result never depends on it.

namespace tindrel {

class IEventTarget {
 public:
  virtual ~IEventTarget() = default;
  virtual void Fire(int dispid) noexcept = 0;
};

}  // namespace tindrel
