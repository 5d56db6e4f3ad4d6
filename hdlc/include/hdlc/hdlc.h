/* libhdlc.so: the rig's framed serial links (C interface).
 *
 * Ports 1..239 are the serial devices "COM"n in the device folder ($VELTRON_DEVDIR or /dev),
 * opened exclusively, raw 8N1. Ports 240..255 are reserved network ports: they are never
 * opened, their frames carry a leading 0x01, and an exchange on them ends with -2.
 *
 * All state is library-wide: one port table, one set of link settings (the last hdlcSetup
 * wins for every port), one answer buffer. The answer pointer handed out by _hdlcSendDataDll
 * stays valid until the next exchange; copy what you need. Call from one thread.
 *
 * Exchange results: 1 answer with data, 0 answer without data / address 0xFF / tries 0,
 * 2 10000 bytes without a closing flag, -1 foreign address (or control in mode 0), -2 no byte
 * within the read time-out, -3 bad FCS, -5 bad data length or pointer, -6 bad or closed port.
 *
 * Trace: every step is written to hdlc.log in the working directory of the moment the library
 * was loaded (truncated at load). Lines collect in memory and a thread of the library writes
 * them to the file every 200 ms, never while an exchange is running; lines not yet written
 * when the library is unloaded are lost. The stamps measure elapsed time with the monotonic
 * nanosecond clock (1000000000 counts per second); the file /etc/veltron/cpu.txt, or the file
 * named by $VELTRON_CPU_FILE, may give another count per second on its first line (0 or bad
 * text shows raw counts).
 */
#ifndef VELTRON_HDLC_HDLC_H
#define VELTRON_HDLC_HDLC_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define HDLC_API __attribute__((visibility("default")))

/* 34. */
HDLC_API int32_t hdlcVersion(void);

/* Reads up to count bytes unframed within the read time-out: the number read, -1 when the read
 * fails (port not open, null buffer, negative count), -6 for a port outside 1..255. The third
 * argument is not used. */
HDLC_API int32_t inPort(int32_t port, uint8_t* buffer, int32_t unused, int32_t count);

/* One request-answer exchange with station address on port; see the results above. On return
 * *answer points to the answer buffer and *answerLength holds its current count. */
HDLC_API int32_t _hdlcSendDataDll(int32_t port, int32_t address, int32_t control, const uint8_t* data, int32_t length,
                                  const uint8_t** answer, int32_t* answerLength);

/* Writes bytes unframed: the number written, -1 when the write fails (also for a negative
 * length or null data), -6 for a port outside 1..255 or not open. */
HDLC_API int32_t _hdlcOutPortDll(int32_t port, const uint8_t* data, int32_t length);

/* Read time-out [ms] of one byte (0: no wait), tries per request, pause before each further try
 * [ms], answer mode (0 strict, 1 relaxed, 2 raw). A negative argument keeps that setting, and so
 * does an answer mode above 2. Defaults at load: 100, 2, 10, 0. */
HDLC_API void hdlcSetup(int32_t readTimeout, int32_t tries, int32_t retryPause, int32_t answerMode);

/* New baud rate for an open port; false when the port is outside 1..255 or not open. */
HDLC_API bool hdlcSetSpeed(int32_t port, int32_t baud);

/* Closes the port; true when it closed or nothing was open, false for a port outside 1..255. */
HDLC_API bool hdlcCloseComPort(int32_t port);

/* Opens the port at baud (raw 8N1, RTS and DTR raised); on an open port only sets the baud. */
HDLC_API bool hdlcInitComPort(int32_t port, int32_t baud);

#ifdef __cplusplus
}
#endif

#endif
