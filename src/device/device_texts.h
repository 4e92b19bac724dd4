// The texts of the device check and the device disinfection. The device
// check's own lines are Portuguese in both languages; the root signs keep
// their lines beside the sign they test (device_check.cpp).
#pragma once

#include "scan/texts.h"

namespace vx::device::texts {

using scan::Text;

// The box both runs show for a clean drive, and the check's captions.
inline constexpr Text NoVirusInDriveBox{"Não foram Encontrados Vírus no Drive {}!",
                                        "Viruses were not found in Drive {}!"};
inline constexpr Text OutcomeCaption{"Resultado", "Outcome"};
inline constexpr Text HeadsUpCaption{"Atenção", "Heads up"};

namespace check {

inline constexpr const char* ListingTree = "[VX] - Listando estrutura de Diretórios...";
// A file of the drive, as the listing writes it: this prefix and its path.
inline constexpr const char* ListedFile = "[VX] - ";
inline constexpr const char* ListingTreeEnd = "[VX] - Fim da listagem da estrutura de Diretórios...";
inline constexpr const char* CheckingViruses = "[VX] - >>> Verificando Vírus ...";
inline constexpr const char* CheckingOtherViruses = "[VX] - >>> Verificando outros Vírus ...";

inline constexpr const char* CheckingVbs = "[VX] - Verificando Tipo VBS...";
// Both the Excel script and USB.exe are checked under this heading.
inline constexpr const char* CheckingWsf = "[VX] - Verificando Tipo WSF...";
inline constexpr const char* CheckingManuelDoc = "[VX] - Verificando Tipo Manuel.doc...";
inline constexpr const char* CheckingVbe = "[VX] - Verificando Tipo VBE...";
inline constexpr const char* CheckingShortcuts = "[VX] - Verificando Atalhos...";
inline constexpr const char* CheckingJs = "[VX] - Verificando Tipo JS...";
inline constexpr const char* CheckingJsOneLevelDown = "[VX] - Verificando Tipo JS1...";

inline constexpr const char* AutorunFound = "[VX] > Arquivo Autorun.inf encontrado!";
inline constexpr const char* AutorunNotFound = "[VX] - Arquivo Autorun.inf não encontrado!";

// The verdict: its box text, written after this prefix.
inline constexpr const char* VerdictLine = "[VX] *** {}";
inline constexpr Text MayBeInfectedBox{"O Dispositivo ({}) pode estar Infectado!", "The device ({}) can be Infected!"};
inline constexpr const char* InfectedBox = "O Dispositivo ({}) está Infectado!";
inline constexpr const char* RemovalAdvice = "Para remover use o botão \"Desinfectar Dispositivo\"";
// The line joins the two parts with a blank, the box with a line break.
inline constexpr const char* InfectedLine = "[VX] *** {} {}";
inline constexpr const char* InfectedBoxText = "{}\r{}";

}  // namespace check

// What the drive's shortcuts and autorun.inf run, written by the check.
namespace drive_runs {

inline constexpr Text Checking{"[VX] - >>> Verificando o que atalhos e autorun.inf executam...",
                               "[VX] - >>> Checking what shortcuts and autorun.inf run..."};
inline constexpr Text ShortcutRuns{"[VX] - Atalho {} executa: {}", "[VX] - Shortcut {} runs: {}"};
inline constexpr Text ShortcutUnreadable{"[VX] - Atalho {} ilegível.", "[VX] - Shortcut {} is unreadable."};
inline constexpr Text WormCodeFound{"[VX] > Código do vírus encontrado: {} (executado por {})",
                                    "[VX] > Virus code found: {} (run by {})"};
inline constexpr Text HidingFolderFound{"[VX] > Pasta {} usada pelo vírus para esconder arquivos.",
                                        "[VX] > Folder {} used by the virus to hide files."};
inline constexpr Text NothingRun{"[VX] - Nenhum atalho ou autorun.inf executa arquivos do dispositivo.",
                                 "[VX] - No shortcut or autorun.inf runs files of the device."};

}  // namespace drive_runs

namespace disinfection {

inline constexpr Text ChooseDeviceBox{"Escolha a Unidade do Dispositivo que deseja limpar!",
                                      "Choose Unit Device you want to clean!"};
inline constexpr Text ChooseDeviceCaption{"Atenção", "Warning"};

inline constexpr Text DriveMadeVisible{"[VX] - Pastas e arquivos do Drive {} colocados em modo visível",
                                       "[VX] - File and Folder Drive {} placed in visible mode "};

// A worm folder at the root, given as the root and its name.
inline constexpr Text WormFolderFound{"[VX] > Pasta {}\\{} encontrada.", "[VX] > Folders {}\\{} found."};
// The root, the name, then the root and the recovery folder's name.
inline constexpr Text WormFolderRenamed{"[VX] > Pasta {}\\{} renomeada para {}{}.",
                                        "[VX] > Folder {}\\{} renamed {}{}."};
inline constexpr Text WormFolderNotRenamed{"[VX] > Pasta {}{} não pôde ser renomeada!",
                                           "[VX] > Folder {}{} could not be renamed!"};
inline constexpr Text FolderMadeVisible{"[VX] > Pastas e arquivos do Diretório {} colocados em modo visível",
                                        "[VX] > Folders and files directory {} placed in visible mode"};
// The names the worm folders' content is recovered under.
inline constexpr Text Recovered{"RECUPERADOS", "RECOVERED"};
inline constexpr Text Recovered2{"RECUPERADOS2", "RECOVERED2"};
inline constexpr Text Recovered3{"RECUPERADOS3", "RECOVERED3"};

// A worm folder's batch file: its name, then the root.
inline constexpr Text BatchDeleted{"[VX] - Arquivo \"{}\" deletado do Drive {}",
                                   "[VX] - File \"{}\" deleted the Drive {}"};
inline constexpr Text BatchNotFound{"[VX] - Arquivo {} não encontrado no Drive {}",
                                    "[VX] - File {} not found in the {}"};

inline constexpr Text SystemFolderNotDeleted{"[VX] > Pasta {} não pôde ser Deletada! (Pasta de Sistema)",
                                             "[VX] > Folder {} could not be deleted! (System Folder)"};
inline constexpr Text SystemFolderDeleted{"[VX] > Pasta {} Deletada com Sucesso!",
                                          "[VX] > Folder {} Successfully Deleted!"};

// A file at the root (autorun.inf, bat.bat): its name, then the root.
inline constexpr Text RootFileDeleted{"[VX] > Arquivo \"{}\" deletado do Drive {}",
                                      "[VX] > File \"{}\" deleted the Drive {}"};
inline constexpr Text RootFileNotFound{"[VX] - Arquivo \"{}\" não encontrado no Drive {}",
                                       "[VX] - File \"{}\" not found in the {}"};

inline constexpr Text RemovingWormCode{"[VX] - >>> Removendo o que os atalhos executavam...",
                                       "[VX] - >>> Removing what the shortcuts ran..."};
inline constexpr Text WormCodeDeleted{"[VX] > Arquivo {} deletado com sucesso!",
                                      "[VX] > File {} successfully deleted!"};
inline constexpr Text WormCodeNotDeleted{"[VX] > Arquivo {} não pôde ser deletado!",
                                         "[VX] > File {} could not be deleted!"};

// The verdict: the box text, and the log line that carries it.
inline constexpr Text VirusesFoundBox{"Vírus Encontrados na Unidade {}! Verifique o relatório!",
                                      "Virus Found and Deleted Drive {}!"};
inline constexpr const char* VirusesFoundLine = "[VX] > {}";
inline constexpr Text NoVirusFound{"[VX] - Nenhum Vírus Encontrado no Drive {}!", "[VX] - No Virus Found in Drive {}!"};
// Both languages caption the verdict boxes in English.
inline constexpr const char* VirusesFoundCaption = "Heads up";
inline constexpr const char* NoVirusFoundCaption = "Outcome";

}  // namespace disinfection

}  // namespace vx::device::texts
