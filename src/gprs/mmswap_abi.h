/* The GPRS library's C interface, as the console calls it and as the
   libraries beside the console (libmmswap.so, libmmswap-sim.so) export it.
   Texts are NUL-terminated; no call keeps a pointer it was given. */
#ifndef OVR_GPRS_MMSWAP_ABI_H
#define OVR_GPRS_MMSWAP_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Dials the data connection: 0 connected, 1 the WAP gateway (MMS proxy) did
   not answer, 600..799 a dial error the library can name, anything else a
   failure. */
typedef int (*WSPRasDialFn)(const char* profile, const char* apn, const char* login, const char* password,
                            const char* wap_gateway);
typedef int (*WSPRasHangUpFn)(const char* profile);
/* Takes the modem from the gateway service, waiting up to wait_ms for it:
   a handle, or 0 when the modem was not obtained (reason set). */
typedef intptr_t (*ModemAllocateFn)(const char* modem, uint32_t wait_ms, int* reason);
typedef void (*ModemReleaseFn)(intptr_t handle);
/* Calls add once for every connection the machine offers ("Modem: NAME"
   for each modem itself); returns the number given. */
typedef int (*RasLoadListOrComboBoxFn)(void* list, void (*add)(void* list, const char* item), uint32_t flags);
/* The PDP context number set up for the APN (flag 1: as the driver would
   after an update), 0 when none. */
typedef uint16_t (*ModemGetCIDForAPNFn)(const char* modem, const char* apn, int flag);
typedef int (*ModemDriverUpdateInitStringsFn)(const char* modem, const char* apn);
/* The text of a dial error into text (room bytes, NUL included); 0 on success. */
typedef int (*WSPRasGetErrorStringFn)(uint32_t code, char* text, uint32_t room);

#ifdef __cplusplus
}
#endif

#endif
