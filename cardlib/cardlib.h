/* The smart-card library of Paperlens: reads a file from the card in the
 * first reader that holds one, over PC/SC. The card profile it speaks is
 * described in cardlib/PROFILE.md. */
#ifndef CARDLIB_CARDLIB_H
#define CARDLIB_CARDLIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A card file's bytes. The caller owns the buffer: `length` holds its
 * capacity on entry and the number of bytes read on return. */
typedef struct {
    int32_t length;
    unsigned char* data;
} SGSC_CARD_DATA;

/* Prepares the library; returns 0. */
int32_t sgsc_LoadDLL(void);

/* The index of the first reader that holds a card; negative when there is
 * no reader, no card in any reader, or no PC/SC service. */
int32_t sgsc_GetCurComPort(void);

/* Reads the card file `fileId` (four hex digits, "F303") from the card in
 * reader `port`, after presenting `pin` (NUL-terminated, at most 19
 * bytes). Returns 0 with `data` filled, or a negative value on any
 * failure: no such reader or file, PIN refused, card removed, a file
 * longer than the buffer, a transmission error. */
int32_t sgsc_GetFile(int32_t port, const char* fileId, const char* pin, SGSC_CARD_DATA* data);

#ifdef __cplusplus
}
#endif

#endif
