// The JNI declarations the launcher and the test runtime share: the invocation
// interface, the JNIEnv function table in its fixed slot order, and the
// creation records. Written for this project; only the layout is dictated by
// the JNI binary interface.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define JNICALL __stdcall
#else
#define JNICALL
#endif

#ifdef _WIN32
using jint = long;  // 32 bits on every Windows data model
#else
using jint = std::int32_t;
#endif
using jlong = std::int64_t;
using jbyte = signed char;
using jboolean = unsigned char;
using jchar = unsigned short;
using jshort = short;
using jfloat = float;
using jdouble = double;
using jsize = jint;

static_assert(sizeof(jint) == 4 && sizeof(jchar) == 2 && sizeof(jlong) == 8);

class JniObject {};
class JniClass : public JniObject {};
class JniThrowable : public JniObject {};
class JniString : public JniObject {};
class JniArray : public JniObject {};
class JniBooleanArray : public JniArray {};
class JniByteArray : public JniArray {};
class JniCharArray : public JniArray {};
class JniShortArray : public JniArray {};
class JniIntArray : public JniArray {};
class JniLongArray : public JniArray {};
class JniFloatArray : public JniArray {};
class JniDoubleArray : public JniArray {};
class JniObjectArray : public JniArray {};

using jobject = JniObject*;
using jclass = JniClass*;
using jthrowable = JniThrowable*;
using jstring = JniString*;
using jarray = JniArray*;
using jbooleanArray = JniBooleanArray*;
using jbyteArray = JniByteArray*;
using jcharArray = JniCharArray*;
using jshortArray = JniShortArray*;
using jintArray = JniIntArray*;
using jlongArray = JniLongArray*;
using jfloatArray = JniFloatArray*;
using jdoubleArray = JniDoubleArray*;
using jobjectArray = JniObjectArray*;
using jweak = jobject;

struct JniMethodTag;
struct JniFieldTag;
using jmethodID = JniMethodTag*;
using jfieldID = JniFieldTag*;

union jvalue {
    jboolean z;
    jbyte b;
    jchar c;
    jshort s;
    jint i;
    jlong j;
    jfloat f;
    jdouble d;
    jobject l;
};

enum jobjectRefType { JNIInvalidRefType = 0, JNILocalRefType = 1, JNIGlobalRefType = 2, JNIWeakGlobalRefType = 3 };

struct JNINativeMethod {
    char* name;
    char* signature;
    void* fnPtr;
};

constexpr jboolean JNI_FALSE = 0;
constexpr jboolean JNI_TRUE = 1;

constexpr jint JNI_OK = 0;
constexpr jint JNI_ERR = -1;
constexpr jint JNI_EDETACHED = -2;
constexpr jint JNI_EVERSION = -3;
constexpr jint JNI_ENOMEM = -4;
constexpr jint JNI_EEXIST = -5;
constexpr jint JNI_EINVAL = -6;

constexpr jint JNI_COMMIT = 1;
constexpr jint JNI_ABORT = 2;

constexpr jint JNI_VERSION_1_1 = 0x00010001;
constexpr jint JNI_VERSION_1_2 = 0x00010002;
constexpr jint JNI_VERSION_1_4 = 0x00010004;
constexpr jint JNI_VERSION_1_6 = 0x00010006;
constexpr jint JNI_VERSION_1_8 = 0x00010008;

struct JNIEnv_;
struct JavaVM_;
using JNIEnv = JNIEnv_;
using JavaVM = JavaVM_;

// Every slot of the JNIEnv function table: X(index, name, result, (parameters)).
// Slots 0 to 3 are reserved and hold no function.
#define VEXA_JNIENV_SLOTS(X) \
    X(0, reserved0, void, (void)) \
    X(1, reserved1, void, (void)) \
    X(2, reserved2, void, (void)) \
    X(3, reserved3, void, (void)) \
    X(4, GetVersion, jint, (JNIEnv*)) \
    X(5, DefineClass, jclass, (JNIEnv*, const char*, jobject, const jbyte*, jsize)) \
    X(6, FindClass, jclass, (JNIEnv*, const char*)) \
    X(7, FromReflectedMethod, jmethodID, (JNIEnv*, jobject)) \
    X(8, FromReflectedField, jfieldID, (JNIEnv*, jobject)) \
    X(9, ToReflectedMethod, jobject, (JNIEnv*, jclass, jmethodID, jboolean)) \
    X(10, GetSuperclass, jclass, (JNIEnv*, jclass)) \
    X(11, IsAssignableFrom, jboolean, (JNIEnv*, jclass, jclass)) \
    X(12, ToReflectedField, jobject, (JNIEnv*, jclass, jfieldID, jboolean)) \
    X(13, Throw, jint, (JNIEnv*, jthrowable)) \
    X(14, ThrowNew, jint, (JNIEnv*, jclass, const char*)) \
    X(15, ExceptionOccurred, jthrowable, (JNIEnv*)) \
    X(16, ExceptionDescribe, void, (JNIEnv*)) \
    X(17, ExceptionClear, void, (JNIEnv*)) \
    X(18, FatalError, void, (JNIEnv*, const char*)) \
    X(19, PushLocalFrame, jint, (JNIEnv*, jint)) \
    X(20, PopLocalFrame, jobject, (JNIEnv*, jobject)) \
    X(21, NewGlobalRef, jobject, (JNIEnv*, jobject)) \
    X(22, DeleteGlobalRef, void, (JNIEnv*, jobject)) \
    X(23, DeleteLocalRef, void, (JNIEnv*, jobject)) \
    X(24, IsSameObject, jboolean, (JNIEnv*, jobject, jobject)) \
    X(25, NewLocalRef, jobject, (JNIEnv*, jobject)) \
    X(26, EnsureLocalCapacity, jint, (JNIEnv*, jint)) \
    X(27, AllocObject, jobject, (JNIEnv*, jclass)) \
    X(28, NewObject, jobject, (JNIEnv*, jclass, jmethodID, ...)) \
    X(29, NewObjectV, jobject, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(30, NewObjectA, jobject, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(31, GetObjectClass, jclass, (JNIEnv*, jobject)) \
    X(32, IsInstanceOf, jboolean, (JNIEnv*, jobject, jclass)) \
    X(33, GetMethodID, jmethodID, (JNIEnv*, jclass, const char*, const char*)) \
    X(34, CallObjectMethod, jobject, (JNIEnv*, jobject, jmethodID, ...)) \
    X(35, CallObjectMethodV, jobject, (JNIEnv*, jobject, jmethodID, va_list)) \
    X(36, CallObjectMethodA, jobject, (JNIEnv*, jobject, jmethodID, const jvalue*)) \
    X(37, CallBooleanMethod, jboolean, (JNIEnv*, jobject, jmethodID, ...)) \
    X(38, CallBooleanMethodV, jboolean, (JNIEnv*, jobject, jmethodID, va_list)) \
    X(39, CallBooleanMethodA, jboolean, (JNIEnv*, jobject, jmethodID, const jvalue*)) \
    X(40, CallByteMethod, jbyte, (JNIEnv*, jobject, jmethodID, ...)) \
    X(41, CallByteMethodV, jbyte, (JNIEnv*, jobject, jmethodID, va_list)) \
    X(42, CallByteMethodA, jbyte, (JNIEnv*, jobject, jmethodID, const jvalue*)) \
    X(43, CallCharMethod, jchar, (JNIEnv*, jobject, jmethodID, ...)) \
    X(44, CallCharMethodV, jchar, (JNIEnv*, jobject, jmethodID, va_list)) \
    X(45, CallCharMethodA, jchar, (JNIEnv*, jobject, jmethodID, const jvalue*)) \
    X(46, CallShortMethod, jshort, (JNIEnv*, jobject, jmethodID, ...)) \
    X(47, CallShortMethodV, jshort, (JNIEnv*, jobject, jmethodID, va_list)) \
    X(48, CallShortMethodA, jshort, (JNIEnv*, jobject, jmethodID, const jvalue*)) \
    X(49, CallIntMethod, jint, (JNIEnv*, jobject, jmethodID, ...)) \
    X(50, CallIntMethodV, jint, (JNIEnv*, jobject, jmethodID, va_list)) \
    X(51, CallIntMethodA, jint, (JNIEnv*, jobject, jmethodID, const jvalue*)) \
    X(52, CallLongMethod, jlong, (JNIEnv*, jobject, jmethodID, ...)) \
    X(53, CallLongMethodV, jlong, (JNIEnv*, jobject, jmethodID, va_list)) \
    X(54, CallLongMethodA, jlong, (JNIEnv*, jobject, jmethodID, const jvalue*)) \
    X(55, CallFloatMethod, jfloat, (JNIEnv*, jobject, jmethodID, ...)) \
    X(56, CallFloatMethodV, jfloat, (JNIEnv*, jobject, jmethodID, va_list)) \
    X(57, CallFloatMethodA, jfloat, (JNIEnv*, jobject, jmethodID, const jvalue*)) \
    X(58, CallDoubleMethod, jdouble, (JNIEnv*, jobject, jmethodID, ...)) \
    X(59, CallDoubleMethodV, jdouble, (JNIEnv*, jobject, jmethodID, va_list)) \
    X(60, CallDoubleMethodA, jdouble, (JNIEnv*, jobject, jmethodID, const jvalue*)) \
    X(61, CallVoidMethod, void, (JNIEnv*, jobject, jmethodID, ...)) \
    X(62, CallVoidMethodV, void, (JNIEnv*, jobject, jmethodID, va_list)) \
    X(63, CallVoidMethodA, void, (JNIEnv*, jobject, jmethodID, const jvalue*)) \
    X(64, CallNonvirtualObjectMethod, jobject, (JNIEnv*, jobject, jclass, jmethodID, ...)) \
    X(65, CallNonvirtualObjectMethodV, jobject, (JNIEnv*, jobject, jclass, jmethodID, va_list)) \
    X(66, CallNonvirtualObjectMethodA, jobject, (JNIEnv*, jobject, jclass, jmethodID, const jvalue*)) \
    X(67, CallNonvirtualBooleanMethod, jboolean, (JNIEnv*, jobject, jclass, jmethodID, ...)) \
    X(68, CallNonvirtualBooleanMethodV, jboolean, (JNIEnv*, jobject, jclass, jmethodID, va_list)) \
    X(69, CallNonvirtualBooleanMethodA, jboolean, (JNIEnv*, jobject, jclass, jmethodID, const jvalue*)) \
    X(70, CallNonvirtualByteMethod, jbyte, (JNIEnv*, jobject, jclass, jmethodID, ...)) \
    X(71, CallNonvirtualByteMethodV, jbyte, (JNIEnv*, jobject, jclass, jmethodID, va_list)) \
    X(72, CallNonvirtualByteMethodA, jbyte, (JNIEnv*, jobject, jclass, jmethodID, const jvalue*)) \
    X(73, CallNonvirtualCharMethod, jchar, (JNIEnv*, jobject, jclass, jmethodID, ...)) \
    X(74, CallNonvirtualCharMethodV, jchar, (JNIEnv*, jobject, jclass, jmethodID, va_list)) \
    X(75, CallNonvirtualCharMethodA, jchar, (JNIEnv*, jobject, jclass, jmethodID, const jvalue*)) \
    X(76, CallNonvirtualShortMethod, jshort, (JNIEnv*, jobject, jclass, jmethodID, ...)) \
    X(77, CallNonvirtualShortMethodV, jshort, (JNIEnv*, jobject, jclass, jmethodID, va_list)) \
    X(78, CallNonvirtualShortMethodA, jshort, (JNIEnv*, jobject, jclass, jmethodID, const jvalue*)) \
    X(79, CallNonvirtualIntMethod, jint, (JNIEnv*, jobject, jclass, jmethodID, ...)) \
    X(80, CallNonvirtualIntMethodV, jint, (JNIEnv*, jobject, jclass, jmethodID, va_list)) \
    X(81, CallNonvirtualIntMethodA, jint, (JNIEnv*, jobject, jclass, jmethodID, const jvalue*)) \
    X(82, CallNonvirtualLongMethod, jlong, (JNIEnv*, jobject, jclass, jmethodID, ...)) \
    X(83, CallNonvirtualLongMethodV, jlong, (JNIEnv*, jobject, jclass, jmethodID, va_list)) \
    X(84, CallNonvirtualLongMethodA, jlong, (JNIEnv*, jobject, jclass, jmethodID, const jvalue*)) \
    X(85, CallNonvirtualFloatMethod, jfloat, (JNIEnv*, jobject, jclass, jmethodID, ...)) \
    X(86, CallNonvirtualFloatMethodV, jfloat, (JNIEnv*, jobject, jclass, jmethodID, va_list)) \
    X(87, CallNonvirtualFloatMethodA, jfloat, (JNIEnv*, jobject, jclass, jmethodID, const jvalue*)) \
    X(88, CallNonvirtualDoubleMethod, jdouble, (JNIEnv*, jobject, jclass, jmethodID, ...)) \
    X(89, CallNonvirtualDoubleMethodV, jdouble, (JNIEnv*, jobject, jclass, jmethodID, va_list)) \
    X(90, CallNonvirtualDoubleMethodA, jdouble, (JNIEnv*, jobject, jclass, jmethodID, const jvalue*)) \
    X(91, CallNonvirtualVoidMethod, void, (JNIEnv*, jobject, jclass, jmethodID, ...)) \
    X(92, CallNonvirtualVoidMethodV, void, (JNIEnv*, jobject, jclass, jmethodID, va_list)) \
    X(93, CallNonvirtualVoidMethodA, void, (JNIEnv*, jobject, jclass, jmethodID, const jvalue*)) \
    X(94, GetFieldID, jfieldID, (JNIEnv*, jclass, const char*, const char*)) \
    X(95, GetObjectField, jobject, (JNIEnv*, jobject, jfieldID)) \
    X(96, GetBooleanField, jboolean, (JNIEnv*, jobject, jfieldID)) \
    X(97, GetByteField, jbyte, (JNIEnv*, jobject, jfieldID)) \
    X(98, GetCharField, jchar, (JNIEnv*, jobject, jfieldID)) \
    X(99, GetShortField, jshort, (JNIEnv*, jobject, jfieldID)) \
    X(100, GetIntField, jint, (JNIEnv*, jobject, jfieldID)) \
    X(101, GetLongField, jlong, (JNIEnv*, jobject, jfieldID)) \
    X(102, GetFloatField, jfloat, (JNIEnv*, jobject, jfieldID)) \
    X(103, GetDoubleField, jdouble, (JNIEnv*, jobject, jfieldID)) \
    X(104, SetObjectField, void, (JNIEnv*, jobject, jfieldID, jobject)) \
    X(105, SetBooleanField, void, (JNIEnv*, jobject, jfieldID, jboolean)) \
    X(106, SetByteField, void, (JNIEnv*, jobject, jfieldID, jbyte)) \
    X(107, SetCharField, void, (JNIEnv*, jobject, jfieldID, jchar)) \
    X(108, SetShortField, void, (JNIEnv*, jobject, jfieldID, jshort)) \
    X(109, SetIntField, void, (JNIEnv*, jobject, jfieldID, jint)) \
    X(110, SetLongField, void, (JNIEnv*, jobject, jfieldID, jlong)) \
    X(111, SetFloatField, void, (JNIEnv*, jobject, jfieldID, jfloat)) \
    X(112, SetDoubleField, void, (JNIEnv*, jobject, jfieldID, jdouble)) \
    X(113, GetStaticMethodID, jmethodID, (JNIEnv*, jclass, const char*, const char*)) \
    X(114, CallStaticObjectMethod, jobject, (JNIEnv*, jclass, jmethodID, ...)) \
    X(115, CallStaticObjectMethodV, jobject, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(116, CallStaticObjectMethodA, jobject, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(117, CallStaticBooleanMethod, jboolean, (JNIEnv*, jclass, jmethodID, ...)) \
    X(118, CallStaticBooleanMethodV, jboolean, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(119, CallStaticBooleanMethodA, jboolean, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(120, CallStaticByteMethod, jbyte, (JNIEnv*, jclass, jmethodID, ...)) \
    X(121, CallStaticByteMethodV, jbyte, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(122, CallStaticByteMethodA, jbyte, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(123, CallStaticCharMethod, jchar, (JNIEnv*, jclass, jmethodID, ...)) \
    X(124, CallStaticCharMethodV, jchar, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(125, CallStaticCharMethodA, jchar, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(126, CallStaticShortMethod, jshort, (JNIEnv*, jclass, jmethodID, ...)) \
    X(127, CallStaticShortMethodV, jshort, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(128, CallStaticShortMethodA, jshort, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(129, CallStaticIntMethod, jint, (JNIEnv*, jclass, jmethodID, ...)) \
    X(130, CallStaticIntMethodV, jint, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(131, CallStaticIntMethodA, jint, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(132, CallStaticLongMethod, jlong, (JNIEnv*, jclass, jmethodID, ...)) \
    X(133, CallStaticLongMethodV, jlong, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(134, CallStaticLongMethodA, jlong, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(135, CallStaticFloatMethod, jfloat, (JNIEnv*, jclass, jmethodID, ...)) \
    X(136, CallStaticFloatMethodV, jfloat, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(137, CallStaticFloatMethodA, jfloat, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(138, CallStaticDoubleMethod, jdouble, (JNIEnv*, jclass, jmethodID, ...)) \
    X(139, CallStaticDoubleMethodV, jdouble, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(140, CallStaticDoubleMethodA, jdouble, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(141, CallStaticVoidMethod, void, (JNIEnv*, jclass, jmethodID, ...)) \
    X(142, CallStaticVoidMethodV, void, (JNIEnv*, jclass, jmethodID, va_list)) \
    X(143, CallStaticVoidMethodA, void, (JNIEnv*, jclass, jmethodID, const jvalue*)) \
    X(144, GetStaticFieldID, jfieldID, (JNIEnv*, jclass, const char*, const char*)) \
    X(145, GetStaticObjectField, jobject, (JNIEnv*, jclass, jfieldID)) \
    X(146, GetStaticBooleanField, jboolean, (JNIEnv*, jclass, jfieldID)) \
    X(147, GetStaticByteField, jbyte, (JNIEnv*, jclass, jfieldID)) \
    X(148, GetStaticCharField, jchar, (JNIEnv*, jclass, jfieldID)) \
    X(149, GetStaticShortField, jshort, (JNIEnv*, jclass, jfieldID)) \
    X(150, GetStaticIntField, jint, (JNIEnv*, jclass, jfieldID)) \
    X(151, GetStaticLongField, jlong, (JNIEnv*, jclass, jfieldID)) \
    X(152, GetStaticFloatField, jfloat, (JNIEnv*, jclass, jfieldID)) \
    X(153, GetStaticDoubleField, jdouble, (JNIEnv*, jclass, jfieldID)) \
    X(154, SetStaticObjectField, void, (JNIEnv*, jclass, jfieldID, jobject)) \
    X(155, SetStaticBooleanField, void, (JNIEnv*, jclass, jfieldID, jboolean)) \
    X(156, SetStaticByteField, void, (JNIEnv*, jclass, jfieldID, jbyte)) \
    X(157, SetStaticCharField, void, (JNIEnv*, jclass, jfieldID, jchar)) \
    X(158, SetStaticShortField, void, (JNIEnv*, jclass, jfieldID, jshort)) \
    X(159, SetStaticIntField, void, (JNIEnv*, jclass, jfieldID, jint)) \
    X(160, SetStaticLongField, void, (JNIEnv*, jclass, jfieldID, jlong)) \
    X(161, SetStaticFloatField, void, (JNIEnv*, jclass, jfieldID, jfloat)) \
    X(162, SetStaticDoubleField, void, (JNIEnv*, jclass, jfieldID, jdouble)) \
    X(163, NewString, jstring, (JNIEnv*, const jchar*, jsize)) \
    X(164, GetStringLength, jsize, (JNIEnv*, jstring)) \
    X(165, GetStringChars, const jchar*, (JNIEnv*, jstring, jboolean*)) \
    X(166, ReleaseStringChars, void, (JNIEnv*, jstring, const jchar*)) \
    X(167, NewStringUTF, jstring, (JNIEnv*, const char*)) \
    X(168, GetStringUTFLength, jsize, (JNIEnv*, jstring)) \
    X(169, GetStringUTFChars, const char*, (JNIEnv*, jstring, jboolean*)) \
    X(170, ReleaseStringUTFChars, void, (JNIEnv*, jstring, const char*)) \
    X(171, GetArrayLength, jsize, (JNIEnv*, jarray)) \
    X(172, NewObjectArray, jobjectArray, (JNIEnv*, jsize, jclass, jobject)) \
    X(173, GetObjectArrayElement, jobject, (JNIEnv*, jobjectArray, jsize)) \
    X(174, SetObjectArrayElement, void, (JNIEnv*, jobjectArray, jsize, jobject)) \
    X(175, NewBooleanArray, jbooleanArray, (JNIEnv*, jsize)) \
    X(176, NewByteArray, jbyteArray, (JNIEnv*, jsize)) \
    X(177, NewCharArray, jcharArray, (JNIEnv*, jsize)) \
    X(178, NewShortArray, jshortArray, (JNIEnv*, jsize)) \
    X(179, NewIntArray, jintArray, (JNIEnv*, jsize)) \
    X(180, NewLongArray, jlongArray, (JNIEnv*, jsize)) \
    X(181, NewFloatArray, jfloatArray, (JNIEnv*, jsize)) \
    X(182, NewDoubleArray, jdoubleArray, (JNIEnv*, jsize)) \
    X(183, GetBooleanArrayElements, jboolean*, (JNIEnv*, jbooleanArray, jboolean*)) \
    X(184, GetByteArrayElements, jbyte*, (JNIEnv*, jbyteArray, jboolean*)) \
    X(185, GetCharArrayElements, jchar*, (JNIEnv*, jcharArray, jboolean*)) \
    X(186, GetShortArrayElements, jshort*, (JNIEnv*, jshortArray, jboolean*)) \
    X(187, GetIntArrayElements, jint*, (JNIEnv*, jintArray, jboolean*)) \
    X(188, GetLongArrayElements, jlong*, (JNIEnv*, jlongArray, jboolean*)) \
    X(189, GetFloatArrayElements, jfloat*, (JNIEnv*, jfloatArray, jboolean*)) \
    X(190, GetDoubleArrayElements, jdouble*, (JNIEnv*, jdoubleArray, jboolean*)) \
    X(191, ReleaseBooleanArrayElements, void, (JNIEnv*, jbooleanArray, jboolean*, jint)) \
    X(192, ReleaseByteArrayElements, void, (JNIEnv*, jbyteArray, jbyte*, jint)) \
    X(193, ReleaseCharArrayElements, void, (JNIEnv*, jcharArray, jchar*, jint)) \
    X(194, ReleaseShortArrayElements, void, (JNIEnv*, jshortArray, jshort*, jint)) \
    X(195, ReleaseIntArrayElements, void, (JNIEnv*, jintArray, jint*, jint)) \
    X(196, ReleaseLongArrayElements, void, (JNIEnv*, jlongArray, jlong*, jint)) \
    X(197, ReleaseFloatArrayElements, void, (JNIEnv*, jfloatArray, jfloat*, jint)) \
    X(198, ReleaseDoubleArrayElements, void, (JNIEnv*, jdoubleArray, jdouble*, jint)) \
    X(199, GetBooleanArrayRegion, void, (JNIEnv*, jbooleanArray, jsize, jsize, jboolean*)) \
    X(200, GetByteArrayRegion, void, (JNIEnv*, jbyteArray, jsize, jsize, jbyte*)) \
    X(201, GetCharArrayRegion, void, (JNIEnv*, jcharArray, jsize, jsize, jchar*)) \
    X(202, GetShortArrayRegion, void, (JNIEnv*, jshortArray, jsize, jsize, jshort*)) \
    X(203, GetIntArrayRegion, void, (JNIEnv*, jintArray, jsize, jsize, jint*)) \
    X(204, GetLongArrayRegion, void, (JNIEnv*, jlongArray, jsize, jsize, jlong*)) \
    X(205, GetFloatArrayRegion, void, (JNIEnv*, jfloatArray, jsize, jsize, jfloat*)) \
    X(206, GetDoubleArrayRegion, void, (JNIEnv*, jdoubleArray, jsize, jsize, jdouble*)) \
    X(207, SetBooleanArrayRegion, void, (JNIEnv*, jbooleanArray, jsize, jsize, const jboolean*)) \
    X(208, SetByteArrayRegion, void, (JNIEnv*, jbyteArray, jsize, jsize, const jbyte*)) \
    X(209, SetCharArrayRegion, void, (JNIEnv*, jcharArray, jsize, jsize, const jchar*)) \
    X(210, SetShortArrayRegion, void, (JNIEnv*, jshortArray, jsize, jsize, const jshort*)) \
    X(211, SetIntArrayRegion, void, (JNIEnv*, jintArray, jsize, jsize, const jint*)) \
    X(212, SetLongArrayRegion, void, (JNIEnv*, jlongArray, jsize, jsize, const jlong*)) \
    X(213, SetFloatArrayRegion, void, (JNIEnv*, jfloatArray, jsize, jsize, const jfloat*)) \
    X(214, SetDoubleArrayRegion, void, (JNIEnv*, jdoubleArray, jsize, jsize, const jdouble*)) \
    X(215, RegisterNatives, jint, (JNIEnv*, jclass, const JNINativeMethod*, jint)) \
    X(216, UnregisterNatives, jint, (JNIEnv*, jclass)) \
    X(217, MonitorEnter, jint, (JNIEnv*, jobject)) \
    X(218, MonitorExit, jint, (JNIEnv*, jobject)) \
    X(219, GetJavaVM, jint, (JNIEnv*, JavaVM**)) \
    X(220, GetStringRegion, void, (JNIEnv*, jstring, jsize, jsize, jchar*)) \
    X(221, GetStringUTFRegion, void, (JNIEnv*, jstring, jsize, jsize, char*)) \
    X(222, GetPrimitiveArrayCritical, void*, (JNIEnv*, jarray, jboolean*)) \
    X(223, ReleasePrimitiveArrayCritical, void, (JNIEnv*, jarray, void*, jint)) \
    X(224, GetStringCritical, const jchar*, (JNIEnv*, jstring, jboolean*)) \
    X(225, ReleaseStringCritical, void, (JNIEnv*, jstring, const jchar*)) \
    X(226, NewWeakGlobalRef, jweak, (JNIEnv*, jobject)) \
    X(227, DeleteWeakGlobalRef, void, (JNIEnv*, jweak)) \
    X(228, ExceptionCheck, jboolean, (JNIEnv*)) \
    X(229, NewDirectByteBuffer, jobject, (JNIEnv*, void*, jlong)) \
    X(230, GetDirectBufferAddress, void*, (JNIEnv*, jobject)) \
    X(231, GetDirectBufferCapacity, jlong, (JNIEnv*, jobject)) \
    X(232, GetObjectRefType, jobjectRefType, (JNIEnv*, jobject)) \
    X(233, GetModule, jobject, (JNIEnv*, jclass))

struct JNINativeInterface {
#define VEXA_JNI_SLOT_FIELD(index, name, result, params) result(JNICALL* name) params;
    VEXA_JNIENV_SLOTS(VEXA_JNI_SLOT_FIELD)
#undef VEXA_JNI_SLOT_FIELD
};

constexpr int kJniEnvSlotCount = 234;
static_assert(sizeof(JNINativeInterface) == kJniEnvSlotCount * sizeof(void*));
static_assert(offsetof(JNINativeInterface, FindClass) == 6 * sizeof(void*));
static_assert(offsetof(JNINativeInterface, CallStaticVoidMethod) == 141 * sizeof(void*));
static_assert(offsetof(JNINativeInterface, ExceptionCheck) == 228 * sizeof(void*));

// JNIEnv: the table pointer, with member shorthands that pass the environment
// itself as first argument (env->FindClass("x") calls functions->FindClass(env, "x")).
struct JNIEnv_ {
    const JNINativeInterface* functions;

#define VEXA_JNI_SLOT_CALL(index, name, result, params)      \
    template <typename... Args>                               \
    auto name(Args... args) {                                 \
        return functions->name(this, args...);                \
    }
    VEXA_JNIENV_SLOTS(VEXA_JNI_SLOT_CALL)
#undef VEXA_JNI_SLOT_CALL
};

struct JNIInvokeInterface {
    void* reserved0;
    void* reserved1;
    void* reserved2;
    jint(JNICALL* DestroyJavaVM)(JavaVM* vm);
    jint(JNICALL* AttachCurrentThread)(JavaVM* vm, void** penv, void* args);
    jint(JNICALL* DetachCurrentThread)(JavaVM* vm);
    jint(JNICALL* GetEnv)(JavaVM* vm, void** penv, jint version);
    jint(JNICALL* AttachCurrentThreadAsDaemon)(JavaVM* vm, void** penv, void* args);
};

struct JavaVM_ {
    const JNIInvokeInterface* functions;

    jint DestroyJavaVM() { return functions->DestroyJavaVM(this); }
    jint AttachCurrentThread(void** penv, void* args) { return functions->AttachCurrentThread(this, penv, args); }
    jint DetachCurrentThread() { return functions->DetachCurrentThread(this); }
    jint GetEnv(void** penv, jint version) { return functions->GetEnv(this, penv, version); }
    jint AttachCurrentThreadAsDaemon(void** penv, void* args) {
        return functions->AttachCurrentThreadAsDaemon(this, penv, args);
    }
};

struct JavaVMOption {
    char* optionString;
    void* extraInfo;
};

struct JavaVMInitArgs {
    jint version;
    jint nOptions;
    JavaVMOption* options;
    jboolean ignoreUnrecognized;
};

struct JavaVMAttachArgs {
    jint version;
    char* name;
    jobject group;
};

// The JNI 1.1 creation record; the launcher uses it only to ask the runtime
// for its default Java thread stack size.
struct JDK1_1InitArgs {
    jint version;
    char** properties;
    jint checkSource;
    jint nativeStackSize;
    jint javaStackSize;
    jint minHeapSize;
    jint maxHeapSize;
    jint verifyMode;
    char* classpath;
    jint(JNICALL* vfprintf)(void* stream, const char* format, va_list args);
    void(JNICALL* exit)(jint code);
    void(JNICALL* abort)();
    jint enableClassGC;
    jint enableVerboseGC;
    jint disableAsyncGC;
    jint verbose;
    jboolean debugging;
    jint debugPort;
};

// Exports of a runtime's JVM library.
using CreateJavaVmFn = jint(JNICALL*)(JavaVM** vm, void** env, void* args);
using GetDefaultJavaVmInitArgsFn = jint(JNICALL*)(void* args);
using FindClassFromBootLoaderFn = jclass(JNICALL*)(JNIEnv* env, const char* name);

// Hooks handed to the runtime as the "exit" and "abort" options.
using JvmExitHookFn = void(JNICALL*)(jint status);
using JvmAbortHookFn = void(JNICALL*)();
