#pragma once

namespace korvanta {

// Keeps a second operation from starting inside a running one. The list fills and
// the transfers let window events through; a click that would start another
// operation meanwhile is ignored. Shared by both windows.
class OperationGuard {
  public:
    bool Busy() const noexcept { return depth_ > 0; }

    // Marks an operation as running for the lifetime of the scope.
    class Scope {
      public:
        explicit Scope(OperationGuard& guard) : guard_(guard) { ++guard_.depth_; }
        ~Scope() { --guard_.depth_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        OperationGuard& guard_;
    };

  private:
    int depth_ = 0;
};

}  // namespace korvanta
