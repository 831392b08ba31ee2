// Scripted application classes: a small text form that says what each
// method of an application class does (see README.md), found on the class
// path as "<name>.class" text files or as sections of a text ".jar".
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Vm.h"

namespace standin {

struct ScriptCommand {
    int line = 0;
    std::string op;
    Text rest;  // everything after the command word, leading blanks removed
};

struct ScriptMethod {
    std::string name;
    bool returnsInt = false;
    bool isStatic = true;
    int line = 0;
    std::vector<ScriptCommand> body;
    std::string signature() const { return returnsInt ? "([Ljava/lang/String;)I" : "([Ljava/lang/String;)V"; }
};

struct ScriptClass {
    std::string name;  // slash form
    std::vector<ScriptMethod> methods;
    std::string superName;  // slash form; empty for java/lang/Object
};

// Parses a script file. A ".class" file holds one class whose "class" line is
// optional; a text jar holds several, each starting with its "class" line.
// On a syntax fault returns nothing and sets `error`.
std::optional<std::vector<ScriptClass>> parseScript(std::string_view text, bool requireClassLines, std::string& error);

// Looks for a class on the class path. Result: the class, or an error kind
// ("not-found", "wrong-name: <actual>", "format: <reason>").
struct ScriptLookup {
    std::shared_ptr<const ScriptClass> cls;
    std::wstring source;
    std::string error;
};
ScriptLookup findScriptClass(const std::string& name, const std::vector<std::wstring>& classPath);

// Runs a scripted method on the calling thread. `args` are main's
// arguments (a null array is std::nullopt). Returns the int result (0 for a
// void method); a thrown exception is left pending on `env`.
using ScriptArgs = std::optional<std::vector<std::optional<Text>>>;
jint runScriptMethod(Env& env, ClassInfo* cls, const ScriptMethod& method, const ScriptArgs& args);

}  // namespace standin
