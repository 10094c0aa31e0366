// Rounding to single precision that no optimiser may undo.
#ifndef TINTWISE_SINGLE_H
#define TINTWISE_SINGLE_H

namespace tintwise {

// Rounds x to single. A plain cast is not enough in practice: GCC 12's SLP
// vectorizer, once the model's factors were inlined into the search (with
// -flto), packed two double->float casts into one vector and folded the later
// widening back to double into the original doubles, dropping the rounding
// (255 0 0 then reported 45.566010 instead of 45.566000). An empty asm that
// must receive the value in a single-precision register makes the rounded
// value an opaque input to everything after it, so it cannot be folded away by
// any optimiser; elsewhere a volatile round trip does the same.
//
// WebAssembly is compiled by Clang alone (Emscripten), whose optimiser treats
// a rounding to single (fptrunc) as the value-changing operation it is: it
// folds a widening of it back only under fast-math flags, which the headers
// refuse, and WebAssembly's own f32.demote_f64 rounds as IEEE 754 says. There
// the plain cast stands: a volatile round trip through memory in the innermost
// loop made a colour's search 1.3 times as long. The WebAssembly builds' suite
// checks it (the known answers bit for bit, the literal pass on some), and the
// browser tests check the page's own module on every 61st of the 2^24 colours
// against tintwise-palette.
inline float to_single(double x) {
  float f = static_cast<float>(x);
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
  __asm__("" : "+x"(f));
#elif (defined(__GNUC__) || defined(__clang__)) && defined(__aarch64__)
  __asm__("" : "+w"(f));
#elif defined(__EMSCRIPTEN__) && defined(__clang__)
  // the plain cast, as above
#else
  volatile float opaque = f;
  f = opaque;
#endif
  return f;
}

} // namespace tintwise

#endif
