/* The simulated executor core as the driver's C code sees it. The DDK headers are C headers,
 * so the driver is written in C and reaches the C++ core through these few functions. */
#ifndef VELKLB_CORE_GLUE_H
#define VELKLB_CORE_GLUE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes of the state the driver allocates for the core (the core's state and its buffers). */
size_t velkGlueStateSize(void);
void velkGlueInit(void* state, uint64_t unixSeconds);

enum { VELK_GLUE_ANSWER = 0, VELK_GLUE_ERROR = 1, VELK_GLUE_BAD_LENGTH = 2 };

/* One executor request on `buffer` (capacity `capacity`): on VELK_GLUE_ANSWER, *length bytes
 * of answer replace the start of `buffer`; on VELK_GLUE_ERROR, *error is the device error.
 * An answer longer than the capacity comes back as VELK_GLUE_BAD_LENGTH. */
int velkGlueRequest(void* state, uint64_t unixSeconds, uint8_t* buffer, uint32_t received,
                    uint32_t capacity, uint32_t* length, uint32_t* error);

/* One control line of `received` bytes; the answer line and its NUL go to `out`, *length being
 * their count. 0 on success, -1 when the line or the answer does not fit. */
int velkGlueControl(void* state, uint64_t unixSeconds, const uint8_t* line, uint32_t received,
                    char* out, uint32_t capacity, uint32_t* length);

#ifdef __cplusplus
}
#endif

#endif
