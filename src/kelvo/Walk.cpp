// The walk: depth first, each directory's names sorted so that every run lists the same tree
// in the same order.
#include "kelvo/Walk.h"

#include <algorithm>

#include "kelvo/Glob.h"

namespace kelvo::walk {
namespace {

bool IsVersionControl(const std::u16string& name) {
  return name == u".git" || name == u".hg" || name == u".svn";
}

}  // namespace

Walker::Walker(WalkSettings settings) : settings_(std::move(settings)) {
  platform::FileFacts facts;
  if (!settings_.avoid.empty() && platform::Examine(settings_.avoid, true, facts)) {
    avoidKnown_ = true;
    avoid_ = {facts.device, facts.inode};
  }
}

bool Walker::Chosen(const std::u16string& relative, bool directory) const {
  for (const auto& glob : settings_.excludes) {
    if (PathMatches(glob, relative)) return false;
  }
  if (directory || settings_.includes.empty()) return true;
  return std::any_of(settings_.includes.begin(), settings_.includes.end(),
                     [&](const std::u16string& glob) { return PathMatches(glob, relative); });
}

void Walker::Take(const std::u16string& path, const std::u16string& relative,
                  const platform::FileFacts& facts, bool named) {
  switch (facts.kind) {
    case platform::FileKind::Regular:
      if (settings_.distinctFiles && !taken_.insert({facts.device, facts.inode}).second) return;
      files_.push_back(
          FoundFile{.path = path, .relative = relative, .size = facts.size, .named = named});
      break;
    case platform::FileKind::Directory:
      Directory(path, relative, {facts.device, facts.inode});
      break;
    default:
      Notice(WalkNotice::Kind::Special, path, 0, {}, facts.kind);
  }
}

void Walker::Notice(WalkNotice::Kind kind, const std::u16string& path, int error, std::string what,
                    platform::FileKind fileKind) {
  notices_.push_back(
      {.kind = kind, .path = path, .fileKind = fileKind, .error = error, .what = std::move(what)});
}

void Walker::Add(const std::u16string& path, bool keepPath) {
  platform::FileFacts facts;
  if (const platform::Result examined = platform::Examine(path, true, facts); !examined) {
    Notice(WalkNotice::Kind::Failed, path, examined.systemCode, "cannot examine");
    return;
  }
  const std::u16string root = keepPath ? MirrorPath(path) : MirrorRoot(path);
  Take(path, root, facts, true);
}

void Walker::Directory(const std::u16string& path, const std::u16string& relative,
                       Identity identity) {
  if (avoidKnown_ && identity == avoid_) return;
  if (walking_.count(identity) > 0) {
    Notice(WalkNotice::Kind::Loop, path, 0, {});
    return;
  }
  // Where each file is to be taken once, a directory reached again by another link is walked
  // once.
  if (settings_.distinctFiles && !walked_.insert(identity).second) return;
  std::vector<std::u16string> names;
  if (const platform::Result listed = platform::ListDirectory(path, names); !listed) {
    Notice(WalkNotice::Kind::Failed, path, listed.systemCode, "cannot read the directory");
    return;
  }
  std::sort(names.begin(), names.end());
  walking_.insert(identity);
  for (const auto& name : names) {
    if (!settings_.hidden && (name.starts_with(u".") || IsVersionControl(name))) continue;
    Entry(platform::JoinPath(path, name), relative.empty() ? name : relative + u'/' + name);
  }
  walking_.erase(identity);
}

void Walker::Entry(const std::u16string& path, const std::u16string& relative) {
  platform::FileFacts facts;
  if (const platform::Result examined = platform::Examine(path, false, facts); !examined) {
    Notice(WalkNotice::Kind::Failed, path, examined.systemCode, "cannot examine");
    return;
  }
  if (facts.kind == platform::FileKind::Link) {
    if (!settings_.follow) return;
    if (const platform::Result followed = platform::Examine(path, true, facts); !followed) {
      Notice(WalkNotice::Kind::Failed, path, followed.systemCode, "cannot follow the link");
      return;
    }
  }
  const bool directory = facts.kind == platform::FileKind::Directory;
  if (!Chosen(relative, directory)) return;
  Take(path, relative, facts, false);
}

std::vector<std::string> SplitList(std::string_view bytes, bool nulSeparated) {
  std::vector<std::string> entries;
  const char separator = nulSeparated ? '\0' : '\n';
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find(separator, start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view entry = bytes.substr(start, end - start);
    if (!nulSeparated && entry.ends_with('\r')) entry.remove_suffix(1);
    if (!entry.empty()) entries.emplace_back(entry);
    start = end + 1;
  }
  return entries;
}

std::u16string MirrorRoot(const std::u16string& path) {
  std::u16string trimmed = path;
  while (trimmed.size() > 1 && platform::IsSeparator(trimmed.back())) trimmed.pop_back();
  const std::u16string last = platform::LastNameOf(trimmed);
  if (last.empty() || last == u"." || last == u".." || platform::IsSeparator(last.back()))
    return u"";
  return last;
}

std::u16string MirrorPath(const std::u16string& path) {
  std::u16string mirror;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = start;
    while (end < path.size() && !platform::IsSeparator(path[end])) ++end;
    const std::u16string step = path.substr(start, end - start);
    // A drive ("C:") is a root like "/".
    const bool drive = start == 0 && step.size() == 2 && step[1] == u':';
    if (!step.empty() && step != u"." && step != u".." && !drive) {
      mirror += (mirror.empty() ? u"" : u"/") + step;
    }
    start = end + 1;
  }
  return mirror;
}

}  // namespace kelvo::walk
