// Resource identifiers of vexa.exe, shared by the resource script and the code.
#pragma once

#define IDI_VEXA 1

// Dialog templates.
#define IDD_JRE_NOT_FOUND 201
#define IDD_JAVA_EXCEPTION 231

// Controls of the "JRE Not Found" dialog.
#define IDC_JRE_PATH 201
#define IDC_JRE_BROWSE 202
#define IDC_JRE_MESSAGE 203
#define IDC_JRE_ICON 204
#define IDC_JRE_LINK 205
#define IDC_JRE_HINT 206

// Controls of the "Java Exception" dialog.
#define IDC_EXCEPTION_ICON 204
#define IDC_EXCEPTION_TRACE 208
#define IDC_EXCEPTION_GROUP 209
#define IDC_EXCEPTION_INTRO 210
#define IDC_EXCEPTION_HINT 211
#define IDC_EXCEPTION_WARNING 212

// String table: the launcher's messages.
#define IDS_WINDOWS_EXCEPTION 202
#define IDS_JNI_EXCEPTION_REASON 203
#define IDS_COM_ERROR 204
#define IDS_JNI_EXCEPTION 205
#define IDS_JRE_NOT_FOUND_SERVER 206
#define IDS_JRE_NOT_FOUND 207
#define IDS_MODULE_PATH_FAILED 208
#define IDS_NO_CLASS_PATH 209
#define IDS_NO_MAIN_CLASS 210
#define IDS_MAIN_CLASS_LOAD_FAILED 211
#define IDS_NO_CREATE_JAVA_VM 212
#define IDS_CREATE_VM_FAILED 213
#define IDS_BROWSE_FOR_JRE 214
#define IDS_MAIN_CLASS_NOT_FOUND 215
#define IDS_NO_MAIN_METHOD 216
#define IDS_LATEST_VERSION 217
#define IDS_MAXIMUM_VERSION 218
#define IDS_MINIMUM_VERSION 219
#define IDS_EXACT_VERSION 220
#define IDS_VERSION_RANGE 221
#define IDS_JVM_LOAD_FAILED 222
#define IDS_INIT_FAILED 223
#define IDS_MODULE_INIT_FAILED 224
#define IDS_JNI_REASON_UNKNOWN 225
#define IDS_JNI_REASON_DETACHED 226
#define IDS_JNI_REASON_VERSION 227
#define IDS_JNI_REASON_NO_MEMORY 228
#define IDS_JNI_REASON_EXISTS 229
#define IDS_JNI_REASON_INVALID 230
// Messages added after the original table.
#define IDS_EMBEDDED_SETTINGS_DAMAGED 231
#define IDS_PAIR_START_FAILED 232
// Class path, library path, environment and output files: 240-244.
#define IDS_OUTPUT_IS_LAUNCHER_FILE 240
#define IDS_FORWARD_TOO_LONG 260
#define IDS_FORWARD_FAILED 261
#define IDS_SETTINGS_UNREADABLE 245
#define IDS_JRE_VERSION_REFUSED 246
#define IDS_CLASS_PATH_NO_MATCH 247
#define IDS_PAIR_IS_SELF 265
#define IDS_PAIR_AGAIN 266
// What the console launcher adds to "JRE Not Found" in place of the dialog.
#define IDS_JRE_DOWNLOAD_ADDRESS 280
#define IDS_JRE_PATH_HINT 281
