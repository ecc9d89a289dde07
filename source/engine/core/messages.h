#pragma once
// The thread messages that the worker threads, the main window and the
// second window exchange, WM_APP+0x64 .. WM_APP+0xAE.
//
// Ownership: a record or string passed by pointer in wParam belongs to the
// receiver from the moment of the post; it travels as the message's owned
// payload (a std::unique_ptr handed to PostToTarget<M>) and the handler takes
// it with Message::Take<M>() or receives it from its MessageMap::On<M> entry.
// A sender keeps no reference to it. A payload that is never delivered or
// never taken is freed with the message. The table at the end of this file
// says which record each number carries; the numbers that are job codes only
// have no entry and cannot be posted.
//
// "Job code" marks the numbers that are also the operation codes of queued
// jobs: a job item carries the number of the user operation it performs.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/message_payload.h"

inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_APP = 0x8000;

// ---- user operations (most are job codes) -------------------------------
// To the pre-processing thread from the main dialog; wParam 0, lParam 0.
inline constexpr std::uint32_t WM_FLASH = WM_APP + 0x64;                // job code; from the grid (read-back complete)
inline constexpr std::uint32_t WM_ORVIX_FLASH = WM_APP + 0x65;          // job code
inline constexpr std::uint32_t WM_ERASE = WM_APP + 0x66;                // job code
inline constexpr std::uint32_t WM_ORVIX_ERASE = WM_APP + 0x67;          // job code
inline constexpr std::uint32_t WM_REVERSE_FLASH = WM_APP + 0x68;        // job code; menu and toolbar
inline constexpr std::uint32_t WM_ORVIX_REVERSE_FLASH = WM_APP + 0x69;  // job code
// Job codes only; never posted.
inline constexpr std::uint32_t WM_FLASHPACK_ADD = WM_APP + 0x6A;
inline constexpr std::uint32_t WM_FLASHPACK_REMOVE = WM_APP + 0x6B;
inline constexpr std::uint32_t WM_FLASHPACK_EXTRACT = WM_APP + 0x6C;
inline constexpr std::uint32_t WM_FLASHPACK_UPDATE_FLASH = WM_APP + 0x6D;
// To the pre-processing thread from the main dialog menu; 0 / 0.
inline constexpr std::uint32_t WM_FLASHPACK_MANAGER = WM_APP + 0x6E;
inline constexpr std::uint32_t WM_PROGRAM_MAGIC_KEY = WM_APP + 0x6F;  // job code
inline constexpr std::uint32_t WM_CUSTOM_COMMAND = WM_APP + 0x70;     // job code only; never posted
inline constexpr std::uint32_t WM_RUN_SCRIPT_FILE = WM_APP + 0x71;    // 0 / 0
inline constexpr std::uint32_t WM_RERUN_SCRIPT = WM_APP + 0x72;       // 0 / 0; no sender
inline constexpr std::uint32_t WM_COMM_CHECK = WM_APP + 0x73;         // job code
inline constexpr std::uint32_t WM_RESET_TARGET = WM_APP + 0x74;       // job code

// ---- jobs, prompts and files --------------------------------------------
// To the core thread: CJobRequest / 0; the core thread deletes the request.
inline constexpr std::uint32_t WM_QUEUE_JOB = WM_APP + 0x75;
// To the user-I/O thread (the pre-processing thread also handles it):
// PromptRequest / 0; the user-I/O thread frees it.
inline constexpr std::uint32_t WM_USER_PROMPT = WM_APP + 0x76;
// To the thread named in the prompt request, read by a wait for exactly this
// message: dialog or message-box result / 0.
inline constexpr std::uint32_t WM_PROMPT_REPLY = WM_APP + 0x77;
// To the pre-processing thread from the main dialog: string array / 0; the
// receiver owns it.
inline constexpr std::uint32_t WM_FILES_DROPPED = WM_APP + 0x78;

// ---- remote control -------------------------------------------------------
inline constexpr std::uint32_t WM_REMOTE_ACCEPT = WM_APP + 0x79;   // remote-I/O thread; 0 / 0
inline constexpr std::uint32_t WM_REMOTE_SEND = WM_APP + 0x7A;     // remote-I/O thread; string / 0, receiver owns it
inline constexpr std::uint32_t WM_REMOTE_RECEIVE = WM_APP + 0x7B;  // remote-I/O thread; string / 0, receiver owns it
inline constexpr std::uint32_t WM_REMOTE_CLOSED = WM_APP + 0x7C;   // remote-I/O thread; 0 / 0
inline constexpr std::uint32_t WM_REMOTE_COMMAND = WM_APP + 0x7D;  // pre-processing thread; string (one line) / 0, receiver owns it

// ---- user-I/O thread --------------------------------------------------------
inline constexpr std::uint32_t WM_APPLY_ALWAYS_ON_TOP = WM_APP + 0x7E;  // 0 / 0
inline constexpr std::uint32_t WM_STATUS_TEXT = WM_APP + 0x7F;          // string / 0, receiver owns it; no sender
inline constexpr std::uint32_t WM_REFRESH_TITLE = WM_APP + 0x80;        // 0 / 0
// To every worker thread (ends its loop) and to the main dialog (ends it); 0 / 0.
inline constexpr std::uint32_t WM_QUIT_THREAD = WM_APP + 0x81;
// To the user-I/O thread from every part of the program: string / 0; the
// user-I/O thread writes and frees it.
inline constexpr std::uint32_t WM_LOG_LINE = WM_APP + 0x82;
inline constexpr std::uint32_t WM_SHUTDOWN = WM_APP + 0x83;  // job code only (script command that ends the program)
// Pre-processing thread (forwards it), user-I/O thread, main dialog: the
// chosen product file and tag / 0, receiver owns it; none from the main
// dialog's "Select a new product file..." (the user-I/O thread asks for one).
inline constexpr std::uint32_t WM_SELECT_PRODUCT = WM_APP + 0x84;
inline constexpr std::uint32_t WM_QUERY = WM_APP + 0x85;                  // user-I/O thread; query record / 0, receiver owns it
inline constexpr std::uint32_t WM_QUERY_REPLY = WM_APP + 0x86;            // asking thread, read by a wait; answer / 0
inline constexpr std::uint32_t WM_SET_OPTION = WM_APP + 0x87;             // user-I/O thread; option record / 0, receiver owns it
inline constexpr std::uint32_t WM_SET_OPTION_REPLY = WM_APP + 0x88;       // pre-processing thread, read by a wait; result / 0
inline constexpr std::uint32_t WM_SAVE_OPTIONS = WM_APP + 0x89;           // user-I/O thread; 0 / 0
inline constexpr std::uint32_t WM_SAVE_OPTIONS_REPLY = WM_APP + 0x8A;     // pre-processing thread, read by a wait; result / 0
inline constexpr std::uint32_t WM_RESTORE_OPTIONS = WM_APP + 0x8B;        // user-I/O thread; 0 / 0
inline constexpr std::uint32_t WM_RESTORE_OPTIONS_REPLY = WM_APP + 0x8C;  // pre-processing thread, read by a wait; result / 0
inline constexpr std::uint32_t WM_RAM_DUMP = WM_APP + 0x8D;               // job code; pre-processing thread, 0 / 0
inline constexpr std::uint32_t WM_FILE_TRANSFER = WM_APP + 0x8E;          // remote-I/O thread; record / 0, receiver owns it
inline constexpr std::uint32_t WM_FLASHPACK_REFRESH = WM_APP + 0x8F;      // FlashPack Manager dialog; 0 / 0; no sender
// To the pre-processing thread from the core thread: FlashpackStatusRecord /
// 1 when the request was not interactive, else 0; with lParam 0 the record
// is passed on as lParam of the FlashPack Manager prompt.
inline constexpr std::uint32_t WM_FLASHPACK_STATUS = WM_APP + 0x90;
// To the user-I/O thread: StatusReport {state, text} / 0; receiver frees it.
inline constexpr std::uint32_t WM_SET_STATUS = WM_APP + 0x91;
inline constexpr std::uint32_t WM_RECENT_FILE = WM_APP + 0x92;             // pre-processing thread; entry index / 0
inline constexpr std::uint32_t WM_STARTUP_CONTINUE = WM_APP + 0x93;        // main dialog; 0 / 0
inline constexpr std::uint32_t WM_DOWNLOAD_PRODUCT_FILES = WM_APP + 0x94;  // user-I/O thread (pre-processing forwards it); 0 / 0
inline constexpr std::uint32_t WM_SHOW_PRODUCT_LIST = WM_APP + 0x95;       // main dialog; 0 / 0

// ---- core thread: results of device operations -----------------------------
// ProgressRecord / 0; the core thread frees it.
inline constexpr std::uint32_t WM_JOB_PROGRESS = WM_APP + 0x96;
// FinishRecord {device, event code} / 0; the core thread frees it.
inline constexpr std::uint32_t WM_JOB_FINISHED = WM_APP + 0x97;
// ErrorRecord / 0; the core thread passes a copy on inside the
// DeviceStatusRecord to the main dialog.
inline constexpr std::uint32_t WM_JOB_ERROR = WM_APP + 0x98;

// ---- main dialog ------------------------------------------------------------
inline constexpr std::uint32_t WM_DEVICE_ATTACHED = WM_APP + 0x99;  // DeviceNumber / 0
inline constexpr std::uint32_t WM_DEVICE_REMOVED = WM_APP + 0x9A;   // DeviceNumber / 0
// DeviceStatusRecord / 0; the main dialog frees it (forwarded to the grid
// or to the second window).
inline constexpr std::uint32_t WM_DEVICE_STATUS = WM_APP + 0x9B;
inline constexpr std::uint32_t WM_GRID_STATUS = WM_APP + 0x9C;  // DeviceStatusRecord / 0; receiver frees it

// ---- core thread ------------------------------------------------------------
// FileLoadRequest / 0 from the image-file load worker; the core thread frees it.
inline constexpr std::uint32_t WM_FILE_LOADED = WM_APP + 0x9D;
inline constexpr std::uint32_t WM_CANCEL_DEVICE = WM_APP + 0x9E;  // DeviceNumber / 0 (pre-processing forwards it)
inline constexpr std::uint32_t WM_RETRY_DEVICE = WM_APP + 0x9F;   // DeviceNumber / 0 (pre-processing forwards it)
// FinishRecord {device, event code} / 0 (operation cancelled); the core
// thread frees it.
inline constexpr std::uint32_t WM_CANCEL_QUEUED = WM_APP + 0xA0;
inline constexpr std::uint32_t WM_RESET_DEVICE_ROW = WM_APP + 0xA1;  // main dialog; DeviceNumber / 0
// Job code only: a flash job whose image holds flashpacks; never posted.
inline constexpr std::uint32_t WM_FLASHPACK_EXTRACT_ADD_FLASH = WM_APP + 0xA2;
inline constexpr std::uint32_t WM_SAVE_READ_FILE = WM_APP + 0xA3;  // core thread; DeviceNumber / 0
// Remote-I/O thread, and job code (device -3): transfer record / 0; the
// remote-I/O thread owns it.
inline constexpr std::uint32_t WM_REMOTE_FILE_TRANSFER = WM_APP + 0xA4;
inline constexpr std::uint32_t WM_DELETE_FILE = WM_APP + 0xA5;  // job code only (device -3); never posted

// ---- main dialog, custom menu and smartphone -----------------------------------
inline constexpr std::uint32_t WM_RESET_ALL_ROWS = WM_APP + 0xA6;       // main dialog; 0 / 0
inline constexpr std::uint32_t WM_REBUILD_CUSTOM_MENU = WM_APP + 0xA7;  // main dialog; 0 / 0
inline constexpr std::uint32_t WM_CUSTOM_MENU_ITEM = WM_APP + 0xA8;     // pre-processing thread; item index / 0
inline constexpr std::uint32_t WM_RELOAD_CUSTOM_MENU = WM_APP + 0xA9;   // user-I/O thread; 0 / 0
inline constexpr std::uint32_t WM_RALIX_FORMAT = WM_APP + 0xAA;         // job code; pre-processing thread, 0 / 0
inline constexpr std::uint32_t WM_RALIX_FLASH_FILE = WM_APP + 0xAB;     // job code; pre-processing thread, 0 / 0
// WM_APP + 0xAC carries no message.
inline constexpr std::uint32_t WM_RALIX_DISCONNECT = WM_APP + 0xAD;  // pre-processing thread; 0 / 0
// To the core thread: percent / 1 for formatting, 0 for a file transfer.
inline constexpr std::uint32_t WM_RALIX_PROGRESS = WM_APP + 0xAE;

inline constexpr std::uint32_t WM_FIRST_THREAD_MESSAGE = WM_FLASH;
inline constexpr std::uint32_t WM_LAST_THREAD_MESSAGE = WM_RALIX_PROGRESS;

// ---- outside the block ------------------------------------------------------
// USB device monitor to the main dialog: its device-change record / 0.
inline constexpr std::uint32_t WM_USB_DEVICE_EVENT = 0x800B;
// The smartphone terminal library's progress to the main dialog (WM_USER+100),
// forwarded as WM_RALIX_PROGRESS with lParam 0.
inline constexpr std::uint32_t WM_RALIX_PERCENT = WM_USER + 100;
// The main window's Flash File command to the pre-processing thread, which
// asks for an image file and queues its flash: 0 / 0.
inline constexpr std::uint32_t WM_FLASH_IMAGE_FILE = WM_APP + 0xB8;
// Remote-I/O thread to the pre-processing thread, which posts it back
// unchanged once every remote line posted before it has run: marker / 0.
// Replies that arrive before it belong to a client that has gone.
inline constexpr std::uint32_t WM_REMOTE_LINES_DONE = WM_USER + 0x301;
// Core or pre-processing thread to the main dialog: a request was refused
// and nothing was queued for it; job code / 1 when the request was
// interactive, else 0. The window gives back what it held for the request
// (Flash Software waits for its read-back's saved file otherwise).
// (WM_APP + 0xB0 is the user-I/O thread's own message for prompt answers.)
inline constexpr std::uint32_t WM_REQUEST_REFUSED = WM_APP + 0xB1;
// Pre-processing thread to the main dialog: the update flash that a saved
// read-back started was refused; the reason (heap string, freed by the
// receiver). The row of the read-back's device ends in "Error" with it.
inline constexpr std::uint32_t WM_UPDATE_REFUSED = WM_APP + 0xB2;
// User-I/O thread to the remote-I/O thread after the options changed: listen
// on the remote port now set, when it is not the one listened on; 0 / 0.
inline constexpr std::uint32_t WM_REMOTE_LISTEN = WM_APP + 0xB3;
// User-I/O thread to the core thread on STATUS RESET: cancel the work of
// every device in error; 0 / 0. The core thread answers the user-I/O thread
// with WM_RUN_STATUS_RESET: 1 when accepted work still remains, else 0 / 0.
inline constexpr std::uint32_t WM_RESET_RUN_STATUS = WM_APP + 0xC0;
inline constexpr std::uint32_t WM_RUN_STATUS_RESET = WM_APP + 0xC1;

// ---- what each message carries ---------------------------------------------
class CJobRequest;
struct DeviceStatusRecord;
struct ErrorRecord;
struct FileLoadRequest;
struct FileTransferRequest;
struct FinishRecord;
struct FlashpackStatusRecord;
struct ProductSelection;
struct ProgressRecord;
struct PromptRequest;
struct QueryRequest;
struct StatusReport;

#define QUILLON_MESSAGE_CARRIES(number, record) \
  template <>                                    \
  struct platform::MessagePayload<number> : platform::Carries<record> {}
#define QUILLON_MESSAGE_PLAIN(number) \
  template <>                          \
  struct platform::MessagePayload<number> : platform::CarriesNoRecord {}

// User operations: wParam a device number (WM_FLASH from the grid) or 0.
QUILLON_MESSAGE_PLAIN(WM_FLASH);
QUILLON_MESSAGE_PLAIN(WM_ORVIX_FLASH);
QUILLON_MESSAGE_PLAIN(WM_ERASE);
QUILLON_MESSAGE_PLAIN(WM_ORVIX_ERASE);
QUILLON_MESSAGE_PLAIN(WM_REVERSE_FLASH);
QUILLON_MESSAGE_PLAIN(WM_ORVIX_REVERSE_FLASH);
QUILLON_MESSAGE_PLAIN(WM_FLASHPACK_MANAGER);
QUILLON_MESSAGE_PLAIN(WM_PROGRAM_MAGIC_KEY);
QUILLON_MESSAGE_PLAIN(WM_RUN_SCRIPT_FILE);
QUILLON_MESSAGE_PLAIN(WM_RERUN_SCRIPT);
QUILLON_MESSAGE_PLAIN(WM_COMM_CHECK);
QUILLON_MESSAGE_PLAIN(WM_RESET_TARGET);
// Jobs, prompts and files.
QUILLON_MESSAGE_CARRIES(WM_QUEUE_JOB, CJobRequest);
QUILLON_MESSAGE_CARRIES(WM_USER_PROMPT, PromptRequest);
QUILLON_MESSAGE_PLAIN(WM_PROMPT_REPLY);
QUILLON_MESSAGE_CARRIES(WM_FILES_DROPPED, std::vector<std::string>);
// Remote control.
QUILLON_MESSAGE_PLAIN(WM_REMOTE_ACCEPT);
QUILLON_MESSAGE_CARRIES(WM_REMOTE_SEND, std::string);
QUILLON_MESSAGE_CARRIES(WM_REMOTE_RECEIVE, std::string);
QUILLON_MESSAGE_PLAIN(WM_REMOTE_CLOSED);
QUILLON_MESSAGE_CARRIES(WM_REMOTE_COMMAND, std::string);
QUILLON_MESSAGE_PLAIN(WM_REMOTE_LINES_DONE);
// User-I/O thread.
QUILLON_MESSAGE_PLAIN(WM_APPLY_ALWAYS_ON_TOP);
QUILLON_MESSAGE_CARRIES(WM_STATUS_TEXT, std::string);
QUILLON_MESSAGE_PLAIN(WM_REFRESH_TITLE);
QUILLON_MESSAGE_PLAIN(WM_QUIT_THREAD);
QUILLON_MESSAGE_CARRIES(WM_LOG_LINE, std::string);
// Absent: the user-I/O thread asks the user for a file; the main window
// reports that the choice failed.
QUILLON_MESSAGE_CARRIES(WM_SELECT_PRODUCT, ProductSelection);
QUILLON_MESSAGE_CARRIES(WM_QUERY, QueryRequest);
QUILLON_MESSAGE_CARRIES(WM_QUERY_REPLY, std::string);  // absent when no answer is wanted
QUILLON_MESSAGE_CARRIES(WM_SET_OPTION, std::vector<std::string>);
QUILLON_MESSAGE_PLAIN(WM_SET_OPTION_REPLY);
QUILLON_MESSAGE_PLAIN(WM_SAVE_OPTIONS);
QUILLON_MESSAGE_PLAIN(WM_SAVE_OPTIONS_REPLY);
QUILLON_MESSAGE_PLAIN(WM_RESTORE_OPTIONS);
QUILLON_MESSAGE_PLAIN(WM_RESTORE_OPTIONS_REPLY);
QUILLON_MESSAGE_PLAIN(WM_RAM_DUMP);
QUILLON_MESSAGE_CARRIES(WM_FILE_TRANSFER, std::vector<std::string>);
QUILLON_MESSAGE_PLAIN(WM_FLASHPACK_REFRESH);
QUILLON_MESSAGE_CARRIES(WM_FLASHPACK_STATUS, FlashpackStatusRecord);
QUILLON_MESSAGE_CARRIES(WM_SET_STATUS, StatusReport);
QUILLON_MESSAGE_PLAIN(WM_RECENT_FILE);
QUILLON_MESSAGE_PLAIN(WM_STARTUP_CONTINUE);
QUILLON_MESSAGE_PLAIN(WM_DOWNLOAD_PRODUCT_FILES);
QUILLON_MESSAGE_PLAIN(WM_SHOW_PRODUCT_LIST);
// Results of device operations.
QUILLON_MESSAGE_CARRIES(WM_JOB_PROGRESS, ProgressRecord);
QUILLON_MESSAGE_CARRIES(WM_JOB_FINISHED, FinishRecord);
QUILLON_MESSAGE_CARRIES(WM_JOB_ERROR, ErrorRecord);
// Main dialog and core thread.
QUILLON_MESSAGE_PLAIN(WM_DEVICE_ATTACHED);
QUILLON_MESSAGE_PLAIN(WM_DEVICE_REMOVED);
QUILLON_MESSAGE_CARRIES(WM_DEVICE_STATUS, DeviceStatusRecord);
QUILLON_MESSAGE_CARRIES(WM_GRID_STATUS, DeviceStatusRecord);
QUILLON_MESSAGE_CARRIES(WM_FILE_LOADED, FileLoadRequest);
QUILLON_MESSAGE_PLAIN(WM_CANCEL_DEVICE);
QUILLON_MESSAGE_PLAIN(WM_RETRY_DEVICE);
QUILLON_MESSAGE_CARRIES(WM_CANCEL_QUEUED, FinishRecord);
QUILLON_MESSAGE_PLAIN(WM_RESET_DEVICE_ROW);
QUILLON_MESSAGE_PLAIN(WM_SAVE_READ_FILE);
QUILLON_MESSAGE_CARRIES(WM_REMOTE_FILE_TRANSFER, FileTransferRequest);
QUILLON_MESSAGE_PLAIN(WM_RESET_ALL_ROWS);
QUILLON_MESSAGE_PLAIN(WM_REBUILD_CUSTOM_MENU);
QUILLON_MESSAGE_PLAIN(WM_CUSTOM_MENU_ITEM);
QUILLON_MESSAGE_PLAIN(WM_RELOAD_CUSTOM_MENU);
QUILLON_MESSAGE_PLAIN(WM_RALIX_FORMAT);
QUILLON_MESSAGE_PLAIN(WM_RALIX_FLASH_FILE);
QUILLON_MESSAGE_PLAIN(WM_RALIX_DISCONNECT);
QUILLON_MESSAGE_PLAIN(WM_RALIX_PROGRESS);
// Outside the block: the device-change record travels by length (wParam)
// and address (lParam); it is the message's own payload, freed with it.
QUILLON_MESSAGE_PLAIN(WM_USB_DEVICE_EVENT);
QUILLON_MESSAGE_PLAIN(WM_RALIX_PERCENT);
QUILLON_MESSAGE_PLAIN(WM_FLASH_IMAGE_FILE);
QUILLON_MESSAGE_PLAIN(WM_REQUEST_REFUSED);
QUILLON_MESSAGE_CARRIES(WM_UPDATE_REFUSED, std::string);
QUILLON_MESSAGE_PLAIN(WM_REMOTE_LISTEN);
QUILLON_MESSAGE_PLAIN(WM_RESET_RUN_STATUS);
QUILLON_MESSAGE_PLAIN(WM_RUN_STATUS_RESET);

#undef QUILLON_MESSAGE_CARRIES
#undef QUILLON_MESSAGE_PLAIN

// The name of a message number of the block or of the two outside it; empty
// for a number without a name.
const char* GetMessageName(std::uint32_t number);
