// completion: shell scripts that complete commands, their options, type
// names and option values, generated from the command table, the one type
// table, the chip table and the MAC address forms.
#include <CLI/CLI.hpp>
#include <iostream>

#include "base/errors.hpp"
#include "command.hpp"
#include "common.hpp"
#include "i2c/part.hpp"
#include "model/macaddr.hpp"
#include "model/types.hpp"

namespace idprom::tool {
namespace {

struct Completed {
  std::string name;
  std::string description;
  std::string options;  // "--first --instance ..."
};

// The table's commands, with the options each declared on the parser.
std::vector<Completed> commands_of(const CLI::App &app) {
  std::vector<Completed> out;
  for (const Command *command : commands()) {
    const CLI::App *sub = app.get_subcommand(command->name);
    Completed c{command->name, command->help, ""};
    for (const CLI::Option *o : sub->get_options()) {
      for (const std::string &n : o->get_lnames())
        c.options += (c.options.empty() ? "--" : " --") + n;
      for (const std::string &n : o->get_snames())
        c.options += (c.options.empty() ? "-" : " -") + n;
    }
    out.push_back(c);
  }
  return out;
}

std::string type_names() {
  std::string out;
  for (const TypeInfo &row : type_table()) {
    if (row.name != nullptr) out += (out.empty() ? "" : " ") + std::string(row.name);
  }
  return out;
}

// Options whose values are words of a table, and those words.
struct Valued {
  std::string option;
  std::string words;
};

std::vector<Valued> valued_options() {
  std::string chips, forms;
  for (const i2c::Part &p : i2c::kChips) chips += (chips.empty() ? "" : " ") + std::string(p.name);
  for (const char *name : kMacFormNames) forms += (forms.empty() ? "" : " ") + std::string(name);
  const std::string types = type_names();
  return {{"--chip", chips}, {"--mac-format", forms}, {"--type", types}, {"-t", types}};
}

// Single quotes for the shells: ' becomes '\''.
std::string quoted(const std::string &text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

void bash(const std::vector<Completed> &commands) {
  std::string names;
  for (const Completed &c : commands) names += (names.empty() ? "" : " ") + c.name;
  std::cout << "# bash completion for idprom (idprom completion bash)\n"
               "_idprom() {\n"
               "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} opts\n"
               "  local types="
            << quoted(type_names())
            << "\n"
               "  if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
               "    COMPREPLY=($(compgen -W "
            << quoted(names)
            << " -- \"$cur\") $(compgen -f -- \"$cur\"))\n"
               "    return\n"
               "  fi\n"
               "  case ${COMP_WORDS[1]} in\n";
  for (const Completed &c : commands)
    std::cout << "    " << c.name << ") opts=" << quoted(c.options) << " ;;\n";
  std::cout << "  esac\n"
               "  case $prev in\n";
  for (const Valued &v : valued_options())
    std::cout << "    " << v.option << ") COMPREPLY=($(compgen -W " << quoted(v.words)
              << " -- \"$cur\")); return ;;\n";
  // A list after --only or --except: the type after the last comma.
  std::cout
      << "    --only|--except) local pre=; [[ $cur == *,* ]] && pre=${cur%,*},; compopt -o "
         "nospace; COMPREPLY=($(compgen -P \"$pre\" -S , -W \"$types\" -- \"${cur##*,}\")); "
         "return ;;\n"
         "    --set) compopt -o nospace; COMPREPLY=($(compgen -S = -W \"$types\" -- \"$cur\")); "
         "return ;;\n"
         "  esac\n"
         "  if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\")); return; fi\n"
         "  case ${COMP_WORDS[1]} in\n"
         "    get) if [ \"$COMP_CWORD\" -ge 3 ]; then COMPREPLY=($(compgen -W \"$types\" -- "
         "\"$cur\") $(compgen -f -- \"$cur\")); return; fi ;;\n"
         "    delete) if [ \"$COMP_CWORD\" -eq 3 ]; then COMPREPLY=($(compgen -W \"$types\" -- "
         "\"$cur\")); return; fi ;;\n"
         "    set) if [ \"$COMP_CWORD\" -ge 3 ]; then compopt -o nospace; COMPREPLY=($(compgen -S "
         "= -W \"$types\" -- \"$cur\")); return; fi ;;\n"
         "    help|completion) COMPREPLY=($(compgen -W "
      << quoted(names + " bash zsh fish")
      << " -- \"$cur\")); return ;;\n"
         "  esac\n"
         "  COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "}\n"
         "complete -o filenames -F _idprom idprom\n";
}

void zsh(const std::vector<Completed> &commands) {
  std::cout << "#compdef idprom\n"
               "# zsh completion for idprom (idprom completion zsh)\n"
               "_idprom() {\n"
               "  local -a commands types opts\n"
               "  types=("
            << type_names()
            << ")\n"
               "  commands=(\n";
  for (const Completed &c : commands)
    std::cout << "    " << quoted(c.name + ":" + c.description) << "\n";
  std::cout << "  )\n"
               "  if (( CURRENT == 2 )); then _describe command commands; _files; return; fi\n"
               "  case $words[2] in\n";
  for (const Completed &c : commands)
    std::cout << "    " << c.name << ") opts=(" << c.options << ") ;;\n";
  std::cout << "  esac\n"
               "  case $words[CURRENT-1] in\n";
  for (const Valued &v : valued_options())
    std::cout << "    " << v.option << ") compadd " << v.words << "; return ;;\n";
  std::cout << "    --only|--except) compset -P '*,'; compadd -S , -q -a types; return ;;\n"
               "    --set) compadd -S = -a types; return ;;\n"
               "  esac\n"
               "  if [[ $PREFIX == -* ]]; then compadd -a opts; return; fi\n"
               "  case $words[2] in\n"
               "    get) (( CURRENT >= 4 )) && { compadd -a types; _files; return; } ;;\n"
               "    delete) (( CURRENT == 4 )) && { compadd -a types; return; } ;;\n"
               "    set) (( CURRENT >= 4 )) && { compadd -S = -a types; return; } ;;\n"
               "    help|completion) _describe command commands; compadd bash zsh fish; return ;;\n"
               "  esac\n"
               "  _files\n"
               "}\n"
               "compdef _idprom idprom\n";
}

void fish(const std::vector<Completed> &commands) {
  std::cout << "# fish completion for idprom (idprom completion fish)\n";
  for (const Completed &c : commands) {
    std::cout << "complete -c idprom -n __fish_use_subcommand -a " << c.name << " -d "
              << quoted(c.description) << "\n";
    std::string opts = c.options;
    for (size_t at = 0; at < opts.size();) {
      const size_t end = std::min(opts.find(' ', at), opts.size());
      const std::string o = opts.substr(at, end - at);
      std::cout << "complete -c idprom -n '__fish_seen_subcommand_from " << c.name << "' "
                << (o.starts_with("--") ? "-l " + o.substr(2) : "-s " + o.substr(1)) << "\n";
      at = end + 1;
    }
  }
  for (const Valued &v : valued_options()) {
    std::string users;  // the commands that declare the option
    for (const Completed &c : commands) {
      if ((" " + c.options + " ").find(" " + v.option + " ") != std::string::npos)
        users += " " + c.name;
    }
    const std::string flag =
        v.option.starts_with("--") ? "-l " + v.option.substr(2) : "-s " + v.option.substr(1);
    std::cout << "complete -c idprom -x -n '__fish_seen_subcommand_from" << users << "' " << flag
              << " -a " << quoted(v.words) << "\n";
  }
  const std::string types = quoted(type_names());
  std::cout
      << "complete -c idprom -f -n '__fish_seen_subcommand_from get delete' -a " << types << "\n"
      << "complete -c idprom -f -n '__fish_seen_subcommand_from set' -a '(string join \\n -- "
      << type_names() << " | string replace -r \\$ =)'\n"
      << "complete -c idprom -f -n '__fish_seen_subcommand_from show' -l only -a " << types << "\n"
      << "complete -c idprom -f -n '__fish_seen_subcommand_from show' -l except -a " << types
      << "\n"
      << "complete -c idprom -f -n '__fish_seen_subcommand_from completion' -a 'bash zsh fish'\n";
}

struct CompletionOptions {
  std::string shell;
  const CLI::App *app = nullptr;
};

void declare_completion(CLI::App &c, CompletionOptions &o) {
  c.add_option("SHELL", o.shell, "bash, zsh or fish")
      ->required()
      ->check(CLI::IsMember({"bash", "zsh", "fish"}));
  o.app = c.get_parent();
}

int run_completion(const CompletionOptions &o) {
  const std::vector<Completed> commands = commands_of(*o.app);
  if (o.shell == "bash") bash(commands);
  if (o.shell == "zsh") zsh(commands);
  if (o.shell == "fish") fish(commands);
  return kExitOk;
}

}  // namespace

extern const Command kCompletion = command<CompletionOptions, declare_completion, run_completion>(
    "completion", "A shell completion script: bash, zsh or fish", "bash|zsh|fish");

}  // namespace idprom::tool
