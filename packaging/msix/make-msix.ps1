# Packs Hoverlatch as an MSIX package from a release build, on Windows with the Windows SDK on PATH
# (makeappx.exe, signtool.exe). Signs it when a certificate is given; its Subject must equal the
# Publisher in the manifest.
#   .\packaging\msix\make-msix.ps1 -BuildDir build\msvc [-Certificate my.pfx -Password secret]
param(
    [string]$BuildDir = "build\msvc",
    [string]$Configuration = "Release",
    [string]$Certificate,
    [string]$Password
)
$ErrorActionPreference = "Stop"
$here = $PSScriptRoot
$layout = Join-Path $BuildDir "msix\layout"
$manifest = Join-Path $BuildDir "msix\AppxManifest.xml"   # configured by CMake with the project version
$version = ([xml](Get-Content $manifest)).Package.Identity.Version
$package = Join-Path $BuildDir "msix\Hoverlatch-$version-x64.msix"

if (Test-Path $layout) { Remove-Item -Recurse -Force $layout }
# The program through the same install rule as the portable zip (its user note is for the portable run).
cmake --install $BuildDir --config $Configuration --prefix $layout --strip --component program
if ($LASTEXITCODE -ne 0) { throw "cmake --install failed" }
Copy-Item $manifest $layout
Copy-Item -Recurse (Join-Path $here "Assets") $layout

makeappx pack /o /d $layout /p $package
if ($LASTEXITCODE -ne 0) { throw "makeappx pack failed" }
if ($Certificate) {
    $passwordArgs = if ($Password) { @("/p", $Password) } else { @() }
    signtool sign /fd SHA256 /f $Certificate @passwordArgs $package
    if ($LASTEXITCODE -ne 0) { throw "signtool sign failed" }
}
Write-Host "Wrote $package"
