#!/usr/bin/env python3
"""Runs the command blocks of README.md and docs/*.md, so that what they tell stays true.

Every block fenced as ```sh is run with bash -e -o pipefail, in a fresh folder that holds a copy
of examples/ and is a git repository, with the built programs first on PATH and HOME pointing into
the folder. A block that cannot run here (it opens a window, installs, builds, runs for minutes or
needs root) is marked on the line before its fence:

    <!-- doc-test: skip: REASON -->

Synopses with placeholders are fenced as plain ``` or ```text, not as ```sh.

The guide's table of original texts must match translations/parlatrix_en.ts.

Usage: doc_test.py SOURCE_DIR BUILD_DIR
"""
import html
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Files whose blocks other suites build and run (the runtime's installed-tree tests).
SKIPPED_FILES = {'docs/runtime.md': 'the installed-tree tests of tests/runtime run its examples'}

SKIP = re.compile(r'<!--\s*doc-test:\s*skip:\s*(.+?)\s*-->')


def blocks(path):
    """(line number, code, skip reason or None) of every ```sh block of the file."""
    lines = open(path, encoding='utf-8').read().split('\n')
    found = []
    i = 0
    while i < len(lines):
        if lines[i].strip() == '```sh':
            start = i + 1
            reason = None
            for back in range(i - 1, max(-1, i - 3), -1):
                match = SKIP.search(lines[back])
                if match:
                    reason = match.group(1)
                    break
                if lines[back].strip():
                    break
            end = start
            while end < len(lines) and lines[end].strip() != '```':
                end += 1
            found.append((start, '\n'.join(lines[start:end]), reason))
            i = end
        i += 1
    return found


def run_block(source, build, name, line, code):
    work = tempfile.mkdtemp(prefix='parlatrix-doc-test-')
    try:
        # The examples both in examples/ (commands run from the repository's root) and in the
        # folder itself (commands run beside the files, as a writer does).
        examples = os.path.join(source, 'examples')
        shutil.copytree(examples, os.path.join(work, 'examples'))
        for entry in os.listdir(examples):
            if os.path.isfile(os.path.join(examples, entry)):
                shutil.copy(os.path.join(examples, entry), work)
        env = dict(os.environ)
        env['HOME'] = os.path.join(work, 'home')
        os.makedirs(env['HOME'])
        env['PATH'] = os.pathsep.join(
            [os.path.join(build, 'tools'), build, env.get('PATH', '/usr/bin:/bin')])
        env.update({'GIT_AUTHOR_NAME': 'Doc Test', 'GIT_AUTHOR_EMAIL': 'doc@test',
                    'GIT_COMMITTER_NAME': 'Doc Test', 'GIT_COMMITTER_EMAIL': 'doc@test',
                    'LC_ALL': 'C.UTF-8'})
        subprocess.run(['git', 'init', '-q', work], check=True, env=env)
        result = subprocess.run(['bash', '-e', '-o', 'pipefail', '-c', code], cwd=work, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        if result.returncode != 0:
            print('FAIL %s:%d (exit %d)\n%s\n--- output ---\n%s' %
                  (name, line, result.returncode, code, result.stdout.decode('utf-8', 'replace')))
            return False
        print('ok   %s:%d' % (name, line))
        return True
    finally:
        shutil.rmtree(work, ignore_errors=True)


def guide_table_matches(source):
    """Every message of the English catalogue stands in the guide's table, original and English."""
    ts = open(os.path.join(source, 'translations/parlatrix_en.ts'), encoding='utf-8').read()
    guide = open(os.path.join(source, 'docs/user-guide.md'), encoding='utf-8').read()
    ok = True
    pairs = re.findall(r'<source>(.*?)</source>\s*(?:<[^>]*>\s*)*?<translation[^>]*>(.*?)</translation>',
                       ts, re.S)
    for src, tr in pairs:
        def cell(text):
            return html.unescape(text).replace('|', '\\|').replace('\n', '↵')
        if '| %s | %s |' % (cell(src), cell(tr)) not in guide:
            print('FAIL docs/user-guide.md: the table lacks %r -> %r' % (src, tr))
            ok = False
    if ok:
        print('ok   docs/user-guide.md: %d original texts with their English' % len(pairs))
    return ok


def man_pages_render(source):
    """The manual pages render without a warning (skipped where groff is missing)."""
    groff = shutil.which('groff')
    if groff is None:
        print('skip man/: groff is not installed')
        return True
    ok = True
    folder = os.path.join(source, 'man')
    for name in sorted(os.listdir(folder)):
        result = subprocess.run([groff, '-man', '-Tutf8', '-ww', '-z', os.path.join(folder, name)],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if result.returncode != 0 or result.stdout:
            print('FAIL man/%s:\n%s' % (name, result.stdout.decode('utf-8', 'replace')))
            ok = False
        else:
            print('ok   man/%s' % name)
    return ok


def dlgtool_page_lists_every_subcommand(source, build):
    """man/dlgtool.1 has a paragraph for every subcommand dlgtool --help lists."""
    help_text = subprocess.run([os.path.join(build, 'tools', 'dlgtool'), '--help'],
                               stdout=subprocess.PIPE, check=True).stdout.decode()
    listed = re.findall(r'^  ([a-z][a-z-]+)\s', help_text.split('Subcommands:')[1], re.M)
    page = open(os.path.join(source, 'man', 'dlgtool.1'), encoding='utf-8').read()
    missing = [name for name in listed if '\\fB%s\\fR' % name.replace('-', '\\-') not in page]
    if missing or not listed:
        print('FAIL man/dlgtool.1 lacks the subcommands %s' % ', '.join(missing))
        return False
    print('ok   man/dlgtool.1 describes the %d subcommands' % len(listed))
    return True


def main():
    source, build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    docs = ['README.md'] + sorted('docs/' + name for name in os.listdir(os.path.join(source, 'docs'))
                                  if name.endswith('.md'))
    ok = True
    ran = 0
    for name in docs:
        for line, code, reason in blocks(os.path.join(source, name)):
            if name in SKIPPED_FILES:
                reason = SKIPPED_FILES[name]
            if reason:
                print('skip %s:%d: %s' % (name, line, reason))
                continue
            ran += 1
            ok = run_block(source, build, name, line, code) and ok
    ok = guide_table_matches(source) and ok
    ok = man_pages_render(source) and ok
    ok = dlgtool_page_lists_every_subcommand(source, build) and ok
    print('%d blocks run' % ran)
    return 0 if ok and ran > 0 else 1


if __name__ == '__main__':
    sys.exit(main())
