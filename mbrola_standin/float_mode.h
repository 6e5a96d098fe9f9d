#pragma once
// The floating-point mode the synthesizer renders in.

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace mbrola_standin {

// While it lives, floats too small for a normal number are taken as zero (flush to zero,
// denormals are zero); the caller's own mode is put back when it ends. The filters' state
// decays towards zero through every pause, and in denormal arithmetic each sample of a
// long pause would cost many times a normal one. The samples do not change: values that
// small never reach a 16-bit sample. Only the x86 SSE mode is set; elsewhere the mode is
// left as the caller has it.
class FlushDenormals {
 public:
  FlushDenormals(const FlushDenormals&) = delete;
  FlushDenormals& operator=(const FlushDenormals&) = delete;
#if defined(__SSE__) || defined(_M_X64)
  static constexpr unsigned Modes = 0x8040;  // MXCSR: flush to zero, denormals are zero
  FlushDenormals() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | Modes); }
  ~FlushDenormals() { _mm_setcsr(saved_); }

 private:
  unsigned saved_;
#else
  // Nothing to set here; written out, so that a guard that does nothing is no unused variable.
  FlushDenormals() {}
#endif
};

}  // namespace mbrola_standin
