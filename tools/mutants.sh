#!/usr/bin/env bash
# Mutation run: puts one plausible fault at a time into the program's source,
# rebuilds what the chosen tests need, runs them under Wine as tools/test.sh
# does, and records whether any of them failed (CAUGHT) or all passed
# (MISSED). Run before and after a change to the test suite, it shows whether
# the suite still catches every fault it caught before.
#
#   tools/mutants.sh [--only ID[,ID...]] [--tests REGEX]
#
# --tests replaces every fault's own ctest regex (e.g. '^(unit|e2e)\.' for
# the whole Wine suite). BUILD names a build tree that tools/test.sh has built
# once (default build/); JOBS the parallel build jobs (default nproc). The
# source file is restored after every fault, also when the run is
# interrupted; the clean tree is rebuilt at the end. Logs: $BUILD/mutants/.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
JOBS=${JOBS:-$(nproc)}

# One edit a line: id @@ file @@ text found exactly once @@ replacement @@
# ctest regex of the tests expected to catch it. "\n" stands for a line
# break; lines with the same id are one fault, applied together. Faults whose
# tests are quick come first.
FAULTS=$(cat <<'EOF'
ini-write-unchecked @@ download/HttpTransfer.cpp @@ if (!partial.Write(chunk.Data(), chunk.Size())) break; @@ partial.Write(chunk.Data(), chunk.Size()); @@ ^unit\.HttpTransferTest$
ini-length-ignored @@ download/HttpTransfer.cpp @@ if (announced >= 0 ? received != static_cast<unsigned long long>(announced) : @@ if (announced >= 0 ? false : @@ ^unit\.HttpTransferTest$
ini-partial-kept @@ download/HttpTransfer.cpp @@ if (!ok) ::DeleteFileA(partialPath.c_str()); @@  @@ ^unit\.HttpTransferTest$
pkg-counter-kept @@ download/HttpTransfer.cpp @@ *pnReceived = 0;\n    if (!m_hInternet || m_bStopDownload) return 0; @@ if (!m_hInternet || m_bStopDownload) return 0; @@ ^unit\.HttpTransferTest$
pkg-no-progress @@ download/HttpTransfer.cpp @@ if (pfnProgress) pfnProgress(pContext, available, false); @@  @@ ^unit\.HttpTransferTest$
pkg-partial-kept @@ download/HttpTransfer.cpp @@ if (!bKeep && file.WasCreated()) DiscardPartial(localPath); @@  @@ ^unit\.HttpTransferTest$
base-any-scheme @@ app/SetupRun.cpp @@ if (!IsWebAddress(m_strBaseURL))\n        m_strBaseURL.clear();\n    else if @@ if @@ ^unit\.SetupInfoTest$
redirect-downgrade @@ app/PathText.cpp @@ && (!BeginsWith(original, "https://") || BeginsWith(final, "https://")) @@  @@ ^unit\.NumberTextTest$
ini-mark-refused @@ download/HttpTransfer.cpp @@ if (c == kUtf8Mark[m_nMarkBytes]) { @@ if (false) { @@ ^unit\.HttpTransferTest$
ini-partial-mark-dropped @@ download/HttpTransfer.cpp @@ m_strLine.assign(kUtf8Mark, size_t(m_nMarkBytes)); @@  @@ ^unit\.HttpTransferTest$
ini-comment-refused @@ download/HttpTransfer.cpp @@ } else if (c == ';' && LineMatches()) { @@ } else if (false) { @@ ^unit\.HttpTransferTest$
ini-comment-bracket @@ download/HttpTransfer.cpp @@ m_bLineTooLong = m_bLineTooLong || c == ']'; @@  @@ ^unit\.HttpTransferTest$
ini-names-own-file @@ download/HttpTransfer.cpp @@ ReportCannotCreate(shown);\n            break; @@ ReportCannotCreate(localPath);\n            break; @@ ^unit\.HttpTransferTest$
progress-unscaled @@ framework/Controls.cpp @@ const int64_t scaled = value >> shift; @@ const int64_t scaled = value; @@ ^unit\.FrameworkTest$
exit-skipped-on-throw @@ framework/WinApp.cpp @@ m_nExitCode = kExitCodeFault; @@ return m_nExitCode = kExitCodeFault; @@ ^unit\.FrameworkTest$
sheet-not-minus-one @@ framework/PropertySheet.cpp @@ return m_bWindowMade ? result : -1; @@ return result; @@ ^unit\.FrameworkTest$
workers-not-counted @@ framework/WorkerThread.cpp @@ CountRunning(+1); @@  @@ ^unit\.FrameworkTest$
workers-never-end @@ framework/WorkerThread.cpp @@ CountRunning(-1);\n    return 0; @@ return 0; @@ ^unit\.FrameworkTest$
wait-enter-fetched @@ download/DownloadWaitDlg.cpp @@ if (m_nRunFetched == m_nRunsBegun) CDialog::OnOK(); @@ CDialog::OnOK(); @@ ^unit\.HttpWaitDialogTest$
wait-failure-fetched @@ download/DownloadWaitDlg.cpp @@ EndRun(run, missing == 0); @@ EndRun(run, true); @@ ^unit\.HttpWaitDialogTest$
wait-late-failure @@ download/DownloadWaitDlg.cpp @@ if (m_nRunsEnded >= run) return;\n        if (m_nRunsBegun < run) @@ if (m_nRunsBegun < run) @@ ^unit\.HttpWaitDialogTest$
wait-late-failure @@ download/DownloadWaitDlg.cpp @@ if (m_nRunsEnded >= run) return;\n        if (bFetched) @@ if (bFetched) @@ ^unit\.HttpWaitDialogTest$
wait-late-worker @@ download/DownloadWaitDlg.cpp @@ if (m_nRunsEnded >= run) return;\n        if (m_nRunsBegun < run) @@ if (m_nRunsBegun < run) @@ ^unit\.HttpWaitDialogTest$
wait-late-worker @@ download/DownloadWaitDlg.cpp @@ if (m_nRunsEnded >= run) return;\n        if (bFetched) m_nRunFetched = run; @@ if (bFetched) m_nRunFetched = m_nRunsBegun.load(); @@ ^unit\.HttpWaitDialogTest$
merge-moves-key @@ app/Component.cpp @@ CComponent* pComp = found ? *found : catalogue.SetAt(key, new CComponent); @@ CComponent* pComp = found ? *found : new CComponent;\n        catalogue.RemoveKey(key);\n        catalogue.SetAt(key, pComp); @@ ^unit\.SetupInfoTest$
version-rule-strict @@ install/FileSelection.cpp @@ version >= file.m_nVersion @@ version > file.m_nVersion @@ ^unit\.FileSelectionTest$
no-folder-before-log @@ install/InstallEngine.cpp @@ m_run.CreateFolderPath(m_strTarget, true, true); @@  @@ ^unit\.InstallEngineTest$
failed-unpack-queued @@ install/InstallEngine.cpp @@ !PinFiles() || !UnpackFiles(steps) || @@ !PinFiles() || (!UnpackFiles(steps) && false) || @@ ^unit\.InstallEngineTest$
unpack-partial-kept @@ install/PackageFile.cpp @@ if (!ok) std::remove(outputPath.c_str()); @@  @@ ^unit\.PackageFileTest$|^tools\.zeppack$
plain-name-dotdot @@ app/PathText.cpp @@ name != ".." &&  @@  @@ ^unit\.NumberTextTest$
reg-string-expand @@ app/Registry.cpp @@ return WriteRegValue(HKEY_LOCAL_MACHINE, key, name, REG_SZ, text); @@ return WriteRegValue(HKEY_LOCAL_MACHINE, key, name, REG_EXPAND_SZ, text); @@ ^unit\.(RegistryTest|InstallEngineTest)$
regions-number-order @@ download/ChooseSitePage.cpp @@ theApp.m_mapRegions.ForEach([this](int index, const std::string* pName) {\n        m_comboRegions.SetItemData(m_comboRegions.InsertString(0, *pName), index);\n    }); @@ for (int i = 999; i >= -1; --i)\n        if (const std::string* pName = theApp.m_mapRegions.Lookup(i))\n            m_comboRegions.SetItemData(m_comboRegions.InsertString(0, *pName), i); @@ ^e2e\.ChooseSiteTest$
regions-by-position @@ download/ChooseSitePage.cpp @@ const int region = int(m_comboRegions.GetItemData(selected)); @@ const int region = selected; @@ ^e2e\.ChooseSiteTest$
sites-any-scheme @@ download/DownloadSite.cpp @@  || !IsWebAddress(line.substr(0, equals)) @@  @@ ^e2e\.ChooseSiteTest$
space-exact-refused @@ select/PreparePackages.cpp @@ space.m_nRequired > space.m_nAvailable @@ space.m_nRequired >= space.m_nAvailable @@ ^unit\.FileSelectionTest$
prereq-one-step @@ select/ComponentStates.cpp @@ pComp = &prerequisite; @@ return; @@ ^unit\.SelectionRulesTest$
dependents-question-ignored @@ select/ComponentStates.cpp @@ if (ask && view.ConfirmDependentsRemoved(comp)) { @@ if (ask) { @@ ^unit\.SelectionRulesTest$
group-before-shortcut @@ select/Removal.cpp @@ for (bool more = log.ReadFirstLink(record); @@ ::RemoveDirectoryA(group.c_str());\n    for (bool more = log.ReadFirstLink(record); @@ ^(unit\.InstallEngineTest|e2e\.AcceptanceTest)$
group-before-shortcut @@ select/Removal.cpp @@ log.Close(!bOwnLog);\n    ::RemoveDirectoryA(group.c_str()); @@ log.Close(!bOwnLog); @@ ^(unit\.InstallEngineTest|e2e\.AcceptanceTest)$
removal-oldest-first @@ select/Removal.cpp @@ for (auto& entry : run.m_mapComponents)\n        if (entry.second->m_nAction == ACTION_REMOVE) @@ std::vector<std::pair<std::string, CComponent*>> order;\n    for (auto& entry : run.m_mapComponents) order.insert(order.begin(), {entry.first, entry.second});\n    for (auto& entry : order)\n        if (entry.second->m_nAction == ACTION_REMOVE) @@ ^(unit\.InstallEngineTest|e2e\.AcceptanceTest)$
in-use-not-scheduled @@ install/QueueCallback.cpp @@ } else if ((error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) && @@ } else if (false && @@ ^e2e\.AcceptanceTest$
pkg-longer-accepted @@ download/HttpTransfer.cpp @@ if (available > nMaxBytes - *pnReceived) { @@ if (false) { @@ ^unit\.HttpTransferTest$
pkg-cut-kept @@ download/HttpTransfer.cpp @@ if (announced >= 0 && *pnReceived - resumed < announced) result = -3; @@  @@ ^unit\.HttpTransferTest$
timeouts-on-session-only @@ download/HttpTransfer.cpp @@ notice.m_app.ApplyTransferTimeouts(hCreated); @@  @@ ^unit\.HttpTransferTest$
time-shown-in-pause @@ download/DownloadingPage.cpp @@ const bool bEstimate = start != 0 && received > resumed && (pauses == 0 || pauses < m_pStatus->m_nInFlight); @@ const bool bEstimate = start != 0; @@ ^e2e\.FaultMatrixTest$
pass-ends-under-question @@ download/DownloadingPage.cpp @@ if (m_bAskingCancel)\n        m_bEndPending = true;\n    else\n        EndPass(); @@ EndPass(); @@ ^e2e\.FaultMatrixTest$
removal-buttons-on @@ select/RemovingPage.cpp @@ PostWizardButtons(0); @@ PostWizardButtons(3); @@ ^e2e\.WizardPagesTest$
norestart-ignored @@ pages/FinishPage.cpp @@ theApp.m_options.m_bPassive || theApp.m_options.m_bNoRestart; @@ theApp.m_options.m_bPassive; @@ ^e2e\.WizardPagesTest$
second-run-admitted @@ app/SetupApp.cpp @@ if (!m_singleRun.Claim()) { @@ if (!m_singleRun.Claim() && false) { @@ ^e2e\.UnattendedTest$
log-elsewhere @@ app/SetupApp.cpp @@ if (!m_options.m_strLogPath.empty() && !m_log.Open(m_options.m_strLogPath)) return false; @@ if (!m_options.m_strLogPath.empty() && !m_log.Open(m_options.m_strLogPath)) m_log.OpenNew(EnvironmentTempFolder(), now); @@ ^e2e\.UnattendedTest$
relative-dir-taken @@ app/CommandLine.cpp @@ (text == &options.m_strInstallDir && !IsFullPath(value)) @@ false @@ ^unit\.NumberTextTest$
keys-case-sensitive @@ select/ComponentStates.cpp @@ if (LowerAscii(entry.first) == LowerAscii(key)) { @@ if (entry.first == key) { @@ ^(unit\.SelectionRulesTest|e2e\.UnattendedTest)$
removal-refusal-dropped @@ select/Removal.cpp @@ if (bRefused) { @@ if (false) { @@ ^(unit\.InstallEngineTest|e2e\.UnattendedTest)$
in-use-left-in-place @@ select/Removal.cpp @@ } else if (::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) { @@ } else if (false) { @@ ^(unit\.InstallEngineTest|e2e\.UnattendedTest)$
layout-without-program @@ app/QuietRun.cpp @@ if (run.m_nDownloadOnly) CompleteLayout(run); @@  @@ ^e2e\.UnattendedTest$
source-stored @@ app/QuietRun.cpp @@ if (options.m_strSourceDir.empty()) WriteRegString( @@ WriteRegString( @@ ^e2e\.UnattendedTest$
uninstall-not-handed-over @@ app/SetupApp.cpp @@ m_options.m_bUninstall && HandOverUninstall( @@ m_options.m_bUninstall && false && HandOverUninstall( @@ ^e2e\.UnattendedTest$
uninstall-removes-nothing @@ select/ComponentStates.cpp @@ if (!options.m_bUninstall) return options.m_remove; @@ return options.m_remove; @@ ^e2e\.UnattendedTest$
unknown-key-fails @@ app/QuietRun.cpp @@ in the components list");\n            return kExitBadOption; @@ in the components list");\n            return kExitFailed; @@ ^e2e\.UnattendedTest$
files-never-arrived-done @@ app/SetupRun.cpp @@ if (entry.second->m_bNeedInfo || entry.second->m_nFilesToDownload != 0) ++count; @@ if (entry.second->m_bNeedInfo) ++count; @@ ^(unit\..*|e2e\.(UnattendedTest|FaultMatrixTest))$
passive-restarts @@ pages/FinishPage.cpp @@ theApp.m_options.m_bPassive || theApp.m_options.m_bNoRestart; @@ theApp.m_options.m_bNoRestart; @@ ^e2e\.UnattendedTest$
proxy-login-asked-unattended @@ download/Proxy.cpp @@ if (m_options.IsUnattended() || ::InternetErrorDlg( @@ if (::InternetErrorDlg( @@ ^unit\.HttpTransferTest$
proxy-login-without-proxy @@ download/Proxy.cpp @@ HTTP_STATUS_PROXY_AUTH_REQ || ProxyFor(url).empty()) return TRUE; @@ HTTP_STATUS_PROXY_AUTH_REQ) return TRUE; @@ ^unit\.HttpTransferTest$
stall-floor-gone @@ download/HttpTransfer.cpp @@ if (*pnReceived - windowBytes < kStallFloorBytes) { @@ if (false) { @@ ^(unit\.HttpTransferTest|e2e\.FaultMatrixTest)$
no-failover @@ download/DownloadPass.cpp @@ for (size_t nSite = 0; nSite < status.m_sites.size(); ++nSite) { @@ for (size_t nSite = 0; nSite < 1 && nSite < status.m_sites.size(); ++nSite) { @@ ^e2e\.(FaultMatrixTest|UnattendedTest)$
site-of-other-bytes-asked-again @@ download/DownloadPass.cpp @@ if (verdict == EVerdict::kDistrustSite) status.Distrust(nSite); @@  @@ ^unit\.HttpTransferTest$
passive-retries-forever @@ download/DownloadingPage.cpp @@ m_pStatus->m_bGiveUpAfterEverySite = theApp.m_options.m_bPassive; @@ m_pStatus->m_bGiveUpAfterEverySite = false; @@ ^e2e\.UnattendedTest$
version-not-logged @@ app/SetupApp.cpp @@ m_log.Write("ZEP Setup " ZEP_VERSION_TEXT " started:" + arguments); @@ m_log.Write("ZEP Setup started:" + arguments); @@ ^e2e\.UnattendedTest$
log-hash-ignored @@ select/Removal.cpp @@ if (!recorded.m_hashes.empty() && @@ if (false && @@ ^unit\.InstallEngineTest$
log-folder-unchecked @@ select/Removal.cpp @@ if (IsAbsoluteFolderPath(record.m_strText)) @@ if (true) @@ ^unit\.InstallEngineTest$
takeback-skipped @@ install/InstallEngine.cpp @@ pPackage->TakeBackCopies(callback); @@ (void)callback; @@ ^unit\.InstallEngineTest$
unpacked-kept @@ install/InstallEngine.cpp @@ pPackage->DeleteUnpackedFiles();\n        if (bCommitted @@ if (bCommitted @@ ^unit\.InstallEngineTest$
new-links-kept @@ install/InstallEngine.cpp @@ for (const std::string& link : newLinks) ::DeleteFileA(link.c_str()); @@  @@ ^unit\.InstallEngineTest$
renames-any-folder @@ install/PendingRenames.cpp @@ SameText(FolderOf(source), FolderOf(target))); @@ true); @@ ^unit\.NumberTextTest$
removal-renames-kept @@ select/Removal.cpp @@ CancelPendingReplacements(removedFiles); @@ (void)removedFiles; @@ ^e2e\.AcceptanceTest$
download-hash-ignored @@ download/HttpTransfer.cpp @@ *pnReceived == nMaxBytes && hash->FinishHex() != sha256) @@ false) @@ ^unit\.HttpTransferTest$
local-copy-hash-ignored @@ install/FileSelection.cpp @@ file.m_bHashMatched = Sha256OfFile(path, hex) && hex == file.m_strSha256; @@ file.m_bHashMatched = true; @@ ^unit\.FileSelectionTest$
hashes-section-ignored @@ install/PackageInfo.cpp @@ if (found != hashes.end()) pFile->m_strSha256 = found->second; @@  @@ ^unit\.FileSelectionTest$
resume-any-offset @@ download/HttpTransfer.cpp @@ QueryHeader(hRequest, HTTP_QUERY_CONTENT_RANGE).rfind("bytes " + std::to_string(nOffset) + "-", 0) == 0; @@ true; @@ ^unit\.HttpTransferTest$
partial-never-kept @@ download/HttpTransfer.cpp @@ (app.m_bStopDownload || result == -2 || result == -3 || result == -8) && (resumed || bValidatorWritten); @@ false; @@ ^unit\.HttpTransferTest$
kept-bytes-not-hashed @@ download/HttpTransfer.cpp @@ if (!file.Resume(partPath, resume.m_nBytes, hash.get())) return kStartOver; @@ if (!file.Resume(partPath, resume.m_nBytes, nullptr)) return kStartOver; @@ ^unit\.HttpTransferTest$
proxy-login-passed-over @@ download/Proxy.cpp @@ if (HttpStatusOf(hRequest) != HTTP_STATUS_PROXY_AUTH_REQ || ProxyFor(url).empty()) return TRUE; @@ return TRUE; @@ ^unit\.HttpTransferTest$
install-files-not-pinned @@ install/InstallEngine.cpp @@ !PinFiles() || !UnpackFiles(steps) || @@ !UnpackFiles(steps) || @@ ^unit\.InstallEngineTest$
skipped-files-cancel-ignored @@ download/DownloadingPage.cpp @@ if (dlg.DoModal() != IDOK) {\n            m_bCancelNoConfirm = true; @@ if (dlg.DoModal() == -12345) {\n            m_bCancelNoConfirm = true; @@ ^e2e\.FaultMatrixTest$
wait-unowned @@ download/DownloadWaitDlg.cpp @@ m_hParent = hOwner; @@ m_hParent = nullptr; @@ ^e2e\.FaultMatrixTest$
sheet-press-while-disabled @@ framework/PropertySheet.cpp @@ if (!::IsWindowEnabled(hWnd)) return 0; @@  @@ ^e2e\.FaultMatrixTest$
skipped-info-cancel-ignored @@ select/PreparingPage.cpp @@ if (dlg.DoModal() != IDOK) EndWizard(); @@ dlg.DoModal(); @@ ^e2e\.FaultMatrixTest$
list-fetched-every-time @@ select/ComponentsPage.cpp @@ if (theApp.m_bComponentListUpdated) return false;\n    CatalogueVerdict verdict; @@ CatalogueVerdict verdict; @@ ^e2e\.SelectionTest$
ask-local-no-ignored @@ select/ComponentsPage.cpp @@ MB_YESNO) != IDYES)\n        page.EndWizard(); @@ MB_YESNO) == -12345)\n        page.EndWizard(); @@ ^e2e\.https\.Sites$
redirect-unchecked @@ download/HttpTransfer.cpp @@ return ::InternetQueryOptionA(hRequest, INTERNET_OPTION_URL, final, &size) && @@ return true || @@ ^e2e\.https\.Sites$
sites-beside-first @@ download/SitesList.cpp @@         path = JoinPath(".", m_strLocationsInfo); @@         path = JoinPath(m_strDownloadDir, m_strLocationsInfo); @@ ^e2e\.ChooseSiteTest$
sites-beside-first @@ download/SitesList.cpp @@ std::string path = JoinPath(m_strDownloadDir, m_strLocationsInfo); @@ std::string path = JoinPath(".", m_strLocationsInfo); @@ ^e2e\.ChooseSiteTest$
EOF
)

only="" tests=""
while [ $# -gt 0 ]; do
  case $1 in
    --only) only=",$2,"; shift 2 ;;
    --tests) tests=$2; shift 2 ;;
    *) echo "usage: $0 [--only ID[,ID...]] [--tests REGEX]" >&2; exit 2 ;;
  esac
done

ids=$(echo "$FAULTS" | sed 's/ @@ .*//' | awk '!seen[$0]++')
for id in ${only//,/ }; do
  grep -qx -- "$id" <<<"$ids" || { echo "mutants: no fault $id" >&2; exit 2; }
done
# Restoring a file discards its changes: refuse to touch one that has any.
files=$(echo "$FAULTS" | awk -F' @@ ' '{print $2}' | sort -u)
if ! git -C "$ROOT" diff --quiet HEAD -- $files; then
  echo "mutants: uncommitted changes in the mutated files; commit or stash them first" >&2; exit 2
fi
LOGS=$BUILD/mutants
mkdir -p "$LOGS"
touched=""
restore() {
  [ -z "$touched" ] || git -C "$ROOT" checkout -- $touched
  touched=""
}
. "$ROOT/tools/wine-env.sh"
trap 'restore; wine_env_stop' EXIT
trap 'exit 130' INT TERM

# Replaces the one occurrence of $2 in file $1 by $3; fails, changing
# nothing, when $2 occurs not exactly once.
edit() {
  python3 - "$ROOT/$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1], *(s.replace('\\n', '\n') for s in sys.argv[2:])
text = open(path, newline='').read()
if text.count(old) != 1:
    sys.exit(1)
open(path, 'w', newline='').write(text.replace(old, new))
PY
}

# The build trees that hold tests matching $1: the program's (Wine) tree and
# the native one.
trees_with_tests() {
  local tree
  for tree in "$BUILD" "$BUILD/native"; do
    [ -f "$tree/CTestTestfile.cmake" ] || continue
    case $(cd "$tree" && ctest -N -R "$1") in *"Test #"* | *"Test  #"*) echo "$tree" ;; esac
  done
  return 0
}

# Builds in tree $1 what the tests matching $2 run: in the Wine tree the
# program and each test's own program, in the native tree everything.
build_for() {
  if [ "$1" != "$BUILD" ]; then cmake --build "$1" -j"$JOBS" >/dev/null; return; fi
  local targets="zepsetup robotdriver"
  targets+=" $(cd "$1" && ctest -N -R "$2" | sed -n 's/.*Test *#[0-9]*: \(\(unit\|e2e\)\..*\)/\1/p' |
    sed -e 's/^e2e\.\(nginx\|https\)\.Sites$/nginx_SitesTest/' -e 's/^\(unit\|e2e\)\./\1_/' | sort -u | tr '\n' ' ')"
  cmake --build "$1" -j"$JOBS" --target $targets >/dev/null
}

# Runs the tests matching $2 in tree $1, logging to $3; prints the names of
# those that failed (fixtures and tests not run are not counted).
run_tests() {
  if [ "$1" = "$BUILD" ]; then
    "$ROOT/tools/small-volume.sh" unmount "$BUILD/test-scratch/small-volume"
    rm -rf "$BUILD/test-scratch"
    cmake "$BUILD" >/dev/null   # recreates the scratch folders
    mkdir -p "$BUILD/artefacts"
  fi
  (cd "$1" && ctest --output-on-failure --timeout 900 -R "$2") >"$3" 2>&1 || true
  # A fixture that failed leaves tests not run: that run tells nothing.
  if grep -q '(Not Run)' "$3" || ! grep -q 'tests failed out of' "$3"; then echo ERROR; return; fi
  sed -n '/The following tests FAILED/,$p' "$3" | grep -v '(Not Run)' |
    sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (\(.*\))$/\1 \2/p' |
    awk '$1 !~ /^(web|volume|nginx)\./ { print ($2 == "Failed" ? $1 : $1 "(" $2 ")") }' || true
}

wine_started=""
results=()
start=$(date +%s)
for id in $ids; do
  [ -z "$only" ] || [[ $only == *",$id,"* ]] || continue
  regex=$tests stale=""
  while IFS= read -r line; do
    rest=${line#* @@ }; file=${rest%% @@ *}
    rest=${rest#* @@ }; search=${rest%% @@ *}
    rest=${rest#* @@ }; replacement=${rest%% @@ *}
    [ -n "$tests" ] || regex=${rest#* @@ }
    touched+=" $file"
    edit "$file" "$search" "$replacement" || { stale=1; break; }
  done < <(echo "$FAULTS" | grep "^$id @@ ")
  if [ -n "$stale" ]; then
    restore
    echo "== $id: stale (a search text does not occur exactly once)"
    results+=("$id stale"); continue
  fi
  echo "== $id: $(git -C "$ROOT" diff --stat | tail -n1), tests $regex"
  if [ -z "$wine_started" ]; then
    wine_env_start "$BUILD/wineprefix-test"
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine_started=1
  fi
  caught="" ran="" t0=$(date +%s)
  for tree in $(trees_with_tests "$regex"); do
    ran=1
    name=wine; [ "$tree" = "$BUILD" ] || name=native
    build_for "$tree" "$regex" >"$LOGS/$id.$name.build.log" 2>&1 || { ran=build-failed; break; }
    caught+=" $(run_tests "$tree" "$regex" "$LOGS/$id.$name.ctest.log" | tr '\n' ' ')"
  done
  restore
  caught=$(echo $caught | tr ' ' ',')
  if [ -z "$ran" ]; then line="$id no-tests-match"
  elif [[ $caught == *ERROR* ]]; then line="$id ERROR (tests not run, see $LOGS/$id.*.ctest.log)"
  elif [ "$ran" = build-failed ]; then line="$id BUILD-FAILED (see $LOGS/$id.$name.build.log)"
  elif [ -n "$caught" ]; then line="$id caught-by:$caught"
  else line="$id MISSED"; fi
  echo "   $line ($(( $(date +%s) - t0 )) s)"
  results+=("$line")
done

echo "== rebuilding the clean tree"
cmake --build "$BUILD" -j"$JOBS" >"$LOGS/clean.build.log" 2>&1
[ ! -f "$BUILD/native/CMakeCache.txt" ] || cmake --build "$BUILD/native" -j"$JOBS" >>"$LOGS/clean.build.log" 2>&1
echo "== $(( ($(date +%s) - start) / 60 )) min"
printf '%s\n' "${results[@]}" | tee "$LOGS/summary.txt"
