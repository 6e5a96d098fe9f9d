/* C interface of our MBROLA-compatible formant synthesizer library (libquelvar_mbrola). */
#pragma once

/*
 * One synthesizer per process, as with MBROLA: open a voice with init_MBR, write
 * phoneme lines with write_MBR, take 16-bit samples with read_MBR, end an utterance
 * with a "#" line or flush_MBR. A phoneme line is
 *
 *     name duration [position pitch]*      e.g.  a 96 80 276
 *
 * with the duration in milliseconds, each pitch point a position in percent of the
 * phone (above 100 allowed) and a pitch in hertz; a point may also be written
 * "(position,pitch)". Blanks and tabs separate fields, ";" starts a comment, a line
 * starting with ";;" holds commands (T=ratio stretches durations, F=ratio scales
 * pitch). Phones are held back until a phone with a pitch point or a flush arrives,
 * because the pitch between two points is interpolated linearly across them.
 *
 * Strings returned through (buffer, size) pairs are always zero-terminated when size
 * is positive; the result is the full length of the text, as snprintf counts it.
 */

#if defined(__GNUC__)
#define MBR_API __attribute__((visibility("default")))
#else
#define MBR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Error codes of lastError_MBR; 0 means no error is pending. */
enum {
  MBR_OK = 0,
  MBR_ERROR_NOT_INITIALISED = -1,  /* no voice open */
  MBR_ERROR_DATABASE_OPEN = -2,    /* the voice file cannot be read */
  MBR_ERROR_DATABASE_FORMAT = -3,  /* the voice file is malformed */
  MBR_ERROR_INPUT_FULL = -4,       /* write_MBR: the text does not fit the input buffer */
  MBR_ERROR_UNKNOWN_PHONEME = -5,  /* a phone name the voice does not have */
  MBR_ERROR_LEFTOVER_TEXT = -6,    /* text after the last complete field of a line */
  MBR_ERROR_MISSING_DURATION = -7, /* a phone without a (valid) duration */
  MBR_ERROR_BAD_VALUE = -8,        /* a number out of range, a bad command value */
  MBR_ERROR_BAD_ARGUMENT = -9,     /* an invalid argument to an entry point */
  MBR_ERROR_PARSER = -10           /* a parser set with setParser_MBR reported an error */
};

/* Sample formats of readtype_MBR. LIN8 is unsigned 8-bit with silence at 128. */
typedef enum { LIN16 = 0, LIN8 = 1, ULAW = 2, ALAW = 3 } AudioType;

/* A phone handed over by an external parser (setParser_MBR). */
typedef struct Phone Phone;

/* Result of a parser's nextphone_Parser. */
typedef enum { PHO_OK = 0, PHO_EOF = 1, PHO_FLUSH = 2, PHO_ERROR = 3 } StatePhone;

/*
 * An external source of phones that replaces the text parser. nextphone_Parser
 * either gives a phone (PHO_OK, *phone set; the library copies it and the parser
 * keeps ownership), says that the utterance ends (PHO_FLUSH), that nothing more is
 * available now (PHO_EOF), or that it failed (PHO_ERROR). reset_Parser is called by
 * reset_MBR, close_Parser by close_MBR or when another parser replaces this one.
 * Any of the three may be NULL.
 */
typedef struct Parser {
  void* self;
  void (*reset_Parser)(struct Parser* parser);
  void (*close_Parser)(struct Parser* parser);
  StatePhone (*nextphone_Parser)(struct Parser* parser, Phone** phone);
} Parser;

/* Opens the voice file (a path, the path without ".voice", or a bare voice name
   looked up in $QUELVAR_MBROLA_VOICES and the installed voice folder). Returns 0, or
   a negative error code. */
MBR_API int init_MBR(const char* databasePath);
/* As init_MBR; rename is a list "old new ..." of phone names the input writes
   differently, clone a list "old new ..." of extra names copying existing phones.
   Either may be NULL or empty. */
MBR_API int init_rename_MBR(const char* databasePath, const char* rename, const char* clone);
/* Queues phoneme text; complete lines are parsed at once. All of the text is taken or
   none (MBR_ERROR_INPUT_FULL). Returns the number of bytes taken, or the negative code
   of the first line in error (that line is dropped, the others are kept). */
MBR_API int write_MBR(const char* text);
/* Ends the current utterance as a "#" line does (pending partial text is read as a
   complete line first). Returns 0 or a negative error code. */
MBR_API int flush_MBR(void);
/* Puts up to wanted samples in buffer; returns how many (0 when none is ready), or a
   negative error code. */
MBR_API int read_MBR(short* buffer, int wanted);
/* As read_MBR, converted to type: 2 bytes per sample for LIN16, 1 for the others. */
MBR_API int readtype_MBR(void* buffer, int wanted, AudioType type);
MBR_API void close_MBR(void);
/* Drops pending input, held phones and unread samples, and clears the error. */
MBR_API void reset_MBR(void);
MBR_API int lastError_MBR(void);
MBR_API int lastErrorStr_MBR(char* buffer, int size);
/* When set, an unknown phone name is synthesized as silence of its duration. */
MBR_API void setNoError_MBR(int noError);
MBR_API int getNoError_MBR(void);
/* The output sample rate; the voice keeps its durations and pitch and its spectrum
   is scaled with the rate, as with MBROLA's voice frequency. */
MBR_API void setFreq_MBR(int frequency);
MBR_API int getFreq_MBR(void);
MBR_API void setVolumeRatio_MBR(float ratio);
MBR_API float getVolumeRatio_MBR(void);
MBR_API int getVersion_MBR(char* buffer, int size);
/* index 0: voice name; 1: sample rate; 2..: the "info" lines of the voice file.
   Returns 0 (and an empty buffer) past the last one. */
MBR_API int getDatabaseInfo_MBR(char* buffer, int size, int index);
/* NULL returns to the built-in text parser. */
MBR_API void setParser_MBR(Parser* parser);

/* Phones for external parsers. */
MBR_API Phone* init_Phone(const char* name, float durationMs);
/* Removes the phone's pitch points. */
MBR_API void reset_Phone(Phone* phone);
MBR_API void close_Phone(Phone* phone);
/* Adds a pitch point at position (percent of the phone) with pitch in hertz. */
MBR_API void appendf0_Phone(Phone* phone, float position, float pitch);

#ifdef __cplusplus
}
#endif
