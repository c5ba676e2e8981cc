#pragma once

// Stable names of the help pages that windows open directly (their context
// topics). A page's file is its topic + ".html" in each language folder.
namespace HelpTopic
{
inline constexpr const char *Index = "Index";   // contents
inline constexpr const char *Search = "Suchen"; // full-text search page
inline constexpr const char *frmMain = "frmMain";
inline constexpr const char *frmCOM = "frmCOM";
inline constexpr const char *frmLog = "frmLog";
inline constexpr const char *frmLogClient = "frmLogClient";
inline constexpr const char *frmEmail = "frmEmail";
inline constexpr const char *frmMqtt = "frmMqtt";
inline constexpr const char *frmWeb = "frmWeb";
inline constexpr const char *frmZentrale = "frmZentrale";
inline constexpr const char *frmGrafikHistorie = "frmGrafikHistorie";
inline constexpr const char *frmTabelle = "frmTabelle";
inline constexpr const char *frmSelectLng = "frmSelectLng";
inline constexpr const char *frmInfo = "frmInfo";

// Every topic above, for checks that each language has all of them.
inline constexpr const char *All[] = {
    Index,  Search,      frmMain,           frmCOM,     frmLog,       frmLogClient, frmEmail, frmMqtt,
    frmWeb, frmZentrale, frmGrafikHistorie, frmTabelle, frmSelectLng, frmInfo};
} // namespace HelpTopic
