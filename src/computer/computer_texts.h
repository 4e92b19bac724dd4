// The texts of the computer check and the computer disinfection. Most of the
// check's lines are Portuguese in both languages; the system functions the
// disinfection repairs keep their lines beside the value they delete
// (computer_disinfection.cpp).
#pragma once

#include "scan/texts.h"

namespace vx::computer::texts {

using scan::Text;

namespace check {

// A step's label: "Tipo " and the step's id, or a family name of its own.
inline constexpr const char* StepType = "Tipo {}";
inline constexpr const char* StepHeading = "[VX] - >>> Verificando Vírus {} ...";
inline constexpr const char* StepFound = "[VX] > Vírus {} encontrado!";
inline constexpr const char* StepNotFound = "[VX] - Procurando: Vírus {} não encontrado!";

inline constexpr const char* CheckingProcesses = "[VX] - >>> Verificando Processos ...";
// A worm process, named by its number.
inline constexpr const char* ProcessFound = "[VX] > Processo {} encontrado!";
inline constexpr const char* ProcessNotFound = "[VX] - Processo {} não encontrado!";

inline constexpr Text CheckingExeType2{"[VX] - >>> Verificando Vírus EXE Tipo 2 ...",
                                       "[VX] - >>> Looking Virus with EXE extension Type 2..."};
inline constexpr const char* NefcbValueFound = "[VX] > Vírus Tipo A1.1 encontrado no registro!";
inline constexpr Text LookingForWsf{"[VX] - Procurando Vírus com extensão WSF...",
                                    "[VX] - Looking Virus with WSF extension..."};
// A start-up command that opens an image, by the step's id.
inline constexpr const char* ImageCommandFound = "[VX] > Vírus Tipo {} encontrado!";

// The verdict. The Portuguese boxes are also written to the log, after this prefix.
inline constexpr const char* VerdictLine = "[VX] *** {}";
inline constexpr Text NoVirusBox{"Nenhum Vírus Encontrado neste Computador!", "No Virus Found this computer"};
inline constexpr Text NoVirusCaption{"Resultado", "Outcome"};
inline constexpr Text VirusesFoundBox{"Vírus Encontrados neste Computador!", "Computer virus found in this!"};
inline constexpr Text VirusesFoundCaption{"Atenção", "Heads up"};
inline constexpr const char* RemovalAdvice = "Para remover use o botão \"Desinfectar Computador\"";
// The line joins the finding and the advice with a blank, the box with a line break.
inline constexpr const char* InfectedLine = "[VX] *** {} {}";
inline constexpr const char* InfectedBoxText = "{}\r{}";

}  // namespace check

namespace disinfection {

inline constexpr Text LookingForExeType2{"[VX] - Procurando Vírus com extensão EXE Tipo 2...",
                                         "[VX] - Looking Virus with EXE extension Type 2..."};

// A worm folder after its deletion.
inline constexpr Text FolderNotDeleted{"[VX] > Pasta {} não pôde ser Deletada!",
                                       "[VX] > Folder {} could not be deleted!"};
inline constexpr Text FolderDeleted{"[VX] > Pasta {} Deletada com Sucesso!", "[VX] > Folder {} Successfully Deleted!"};

inline constexpr const char* SafeModeBox =
    "Para remover este vírus é necessário executar o Varrex em Modo de Segurança!";
inline constexpr const char* SafeModeCaption = "Varrex";
inline constexpr const char* StartupValueDeleted = "[VX] > Chave de Registro {} foi deletada!";

// The companion folders google_i9 and google_pdf.
inline constexpr Text CompanionFolderNotDeleted{"[VX] > Pasta {} não pôde ser Deletada!",
                                                "[VX] > {} folder can not be Deleted!"};
inline constexpr Text CompanionFolderDeleted{"[VX] > Pasta {} Deletada com Sucesso!",
                                             "[VX] > {} folder Successfully Deleted!"};

// A start-up command that opens an image.
inline constexpr Text ImageCommandDeleted{"[VX] > Chave {} Deletada com Sucesso!",
                                          "[VX] > key {} Successfully Deleted!"};
inline constexpr Text ImageCommandNotDeleted{"[VX] > Chave {} não pôde ser Deletada!",
                                             "[VX] > Key {} It could not be deleted!"};

// A folder holding a small executable beside a small script.
inline constexpr Text PairFolderInfected{"[VX] > Pasta {} está infectada!", "[VX] > Folder {} is infected!"};
inline constexpr Text PairFolderNotDeleted{"[VX] > Pasta {} não pôde ser Deletada!",
                                           "[VX] > Folder {} could not be Deleted!"};
inline constexpr Text PairFolderDeleted{"[VX] > Pasta {} Deletada com Sucesso!",
                                        "[VX] > Folder {} Successfully Deleted!"};

inline constexpr Text LookingForWsf{"[VX] - Procurando Vírus com extensão WSF...",
                                    "[VX] - Looking Virus with WSF extension..."};
inline constexpr Text ExcelValueDeleted{"[VX] > Chave de Registro Microsoft Excel foi deletada!",
                                        "[VX] > Microsoft Excel registry key has been deleted!"};
inline constexpr Text LookingForJs{"[VX] - Procurando Vírus com extensão JS...",
                                   "[VX] - Looking Virus with JS extension..."};
inline constexpr Text LookingForVbs{"[VX] - Procurando Vírus com extensão VBS...",
                                    "[VX] - Looking Virus VBS extension with..."};
inline constexpr Text LookingForVbe{"[VX] - Procurando Vírus com extensão VBE...",
                                    "[VX] - Looking Virus with VBE extension..."};

inline constexpr Text LookingForExeIn{"[VX] - Procurando Vírus com extensão EXE na pasta {}",
                                      "[VX] - Looking Virus with EXE extension in folder {}"};
inline constexpr Text HkcuValueDeleted{"[VX] > Chave de Registro HKCU foi deletada!",
                                       "[VX] > HKCU registry key has been deleted!"};
inline constexpr Text HklmValueDeleted{"[VX] > Chave de Registro HKLM foi deletada!",
                                       "[VX] > HKLM registry key has been deleted!"};

inline constexpr Text LookingForExe{"[VX] - Procurando Vírus com extensão EXE...",
                                    "[VX] - Looking Virus with EXE extension..."};
inline constexpr Text LnzyzjValueNotFound{"[VX] - Chave de Registro Lnzyzj não Encontrada!",
                                          "[VX] - Key Lnzyzj Record not Found!"};
inline constexpr Text LnzyzjValueDeleted{"[VX] > Chave de Registro Lnzyzj Deletada!",
                                         "[VX] > Lnzyzj deleted registry key!"};
// The folder that held Lnzyzj.exe.
inline constexpr Text LnzyzjFileDeleted{"[VX] > Arquivo {}\\Lnzyzj.exe Deletado com Sucesso!",
                                        "[VX] > File {}\\Lnzyzj.exe Successfully Deleted!"};
// Lnzyzj.exe not deleted from the folder, by the start-up root: the lines
// differ for the user's and the machine's value, and for the machine's on
// the second folder.
inline constexpr Text LnzyzjUserFileNotDeleted{
    "[VX] - Não foi possível excluír o arquivo {}\\Lnzyzj.exe, ou ele não Existe!",
    "[VX] - Could not delete file {}\\Lnzyzj.exe, or not he exists!"};
inline constexpr Text LnzyzjMachineFileNotDeleted{
    "[VX] - Não foi possível excluír o arquivo {}\\Lnzyzj.exe, ou ele não Existe!",
    "[VX] - Could not delete file {}\\Lnzyzj.exe, or it does not exists!"};
inline constexpr Text LnzyzjMachineLaterFileNotDeleted{
    "[VX] - Não foi possível excluír o Arquivo {}\\Lnzyzj.exe, ou ele não Existe!",
    "[VX] - Could not delete file {}\\Lnzyzj.exe, or it does not exists!"};

inline constexpr Text LookingForSality{"[VX] - Procurando desktop.exe (Sality)...",
                                       "[VX] - Looking Desktop.exe (Sality)..."};
inline constexpr Text SalityFolderNotDeleted{"[VX] > Pasta {} não pode ser deletada!",
                                             "[VX] > Folder {} can not be deleted!"};
inline constexpr Text SalityFolderDeleted{"[VX] > Pasta {} deletada com sucesso!",
                                          "[VX] > Folder {} Successfully Deleted!"};
inline constexpr Text SalityProgramNotDeleted{"[VX] > Arquivo {} não pode ser deletado!",
                                              "[VX] > File {} can not be deleted!"};
inline constexpr Text SalityProgramDeleted{"[VX] > Arquivo {} deletado com sucesso!",
                                           "[VX] > File {} Sucessfully Deleted!"};

inline constexpr const char* LookingForXcv =
    "[VX] - Procurando Vírus xcv.exe - Prolifera pela extensão .cpl (Painel de Controle)...";
inline constexpr Text XcvFolderNotDeleted{"[VX] - Pasta {} não pôde ser Deletada ou não Existe!",
                                          "[VX] - Folder {} could not be deleted or not exists!"};
inline constexpr Text XcvFolderDeleted{"[VX] > Pasta {} Deletada com Sucesso!",
                                       "[VX] > Folder {} Successfully Deleted!"};
inline constexpr Text XcvValueDeleted{"[VX] > Chave de Registro xcv.exe Deletada!",
                                      "[VX] > Xcv.exe deleted registry key!"};

inline constexpr Text LookingForDwDll{"[VX] - Procurando Vírus dw.dll...", "[VX] - Looking dw.dll Virus..."};
inline constexpr Text SystemValueDeleted{"[VX] > Chave de Registro System Deletada!",
                                         "[VX] > System deleted registry key!"};

inline constexpr const char* RepairingSystemFunctions = "[VX] - Reparando Funções de Sistema...";

// DriverAudio.exe, written after the steps.
inline constexpr const char* DriverAudioNotFound = "[VX] - Procurando: Vírus DriverAudio não encontrado!";
inline constexpr const char* DriverAudioFound = "[VX] > Vírus DriverAudio encontrado!";
inline constexpr Text DriverAudioScriptNotWritten{
    "[VX] > Não foi possível gravar o arquivo {}! Execute o Varrex de uma pasta gravável.",
    "[VX] > Could not write the file {}! Run Varrex from a writable folder."};
inline constexpr const char* DriverAudioBox =
    "ATENÇÃO! Vírus DriverAudio encontrado.\r\nFeche o Varrex\r\nExecute o arquivo: <Varrex - "
    "DriverAudio.reg> gerado.\r\nReinicie o computador.\r\nExecute novamente o Varrex e faça as Desinfecções.";
inline constexpr const char* DriverAudioCaption = "Heads up";

// The verdict.
inline constexpr Text SomeNotDisinfected{"[VX] > Alguns arquivos não puderam ser Desinfectados! Verifique o relatório!",
                                         "[VX] > Some files could not be Disinfected! Check the report!"};
inline constexpr Text RunAsAdministrator{"[VX] > Tente executar o programa como Administrador!",
                                         "[VX] > Run the program as Administrator!"};
inline constexpr Text SomeNotDisinfectedBox{
    "Alguns arquivos não puderam ser Desinfectados! Verifique o relatório!\rTente executar o programa como "
    "Administrador!",
    "Some files could not be Disinfected! Check report!\rRun the program as Administrator!"};
inline constexpr Text VirusesRemovedBox{"Vírus Encontrados e eliminados do Computador! Verifique o relatório!",
                                        "Virus Found and Deleted this computer!"};
// The line that carries the box text above.
inline constexpr const char* VirusesRemovedLine = "[VX] > {}";
inline constexpr Text HeadsUpCaption{"Atenção", "Heads up"};
inline constexpr Text NoVirusFound{"[VX] - Nenhum Vírus Encontrado!", "[VX] - No Viruses Found!"};
inline constexpr Text NoVirusBox{"Nenhum Vírus Encontrado neste Computador!", "No Virus Found this computer!"};
inline constexpr Text NoVirusCaption{"Aviso", "Warning"};

inline constexpr Text RestartQuestion{"É necessário reiniciar o Computador! Reiniciar agora?",
                                      "You must restart your computer! Restart now?"};
inline constexpr Text RestartCaption{"Opções", "Options"};

}  // namespace disinfection

// The start-up entries that run worm code.
namespace run_commands {

inline constexpr Text Checking{"[VX] - >>> Verificando o que atalhos da inicialização e valores Run executam...",
                               "[VX] - >>> Checking what Startup shortcuts and Run values run..."};
// The file, then the shortcut or value that runs it.
inline constexpr Text WormCodeFound{"[VX] > Código do vírus encontrado: {} (executado por {})",
                                    "[VX] > Virus code found: {} (run by {})"};
inline constexpr Text NothingRun{"[VX] - Nenhum atalho da inicialização ou valor Run executa código do vírus.",
                                 "[VX] - No Startup shortcut or Run value runs virus code."};
inline constexpr Text Removing{"[VX] - >>> Removendo o que atalhos da inicialização e valores Run executavam...",
                               "[VX] - >>> Removing what Startup shortcuts and Run values ran..."};
inline constexpr Text FileDeleted{"[VX] > Arquivo {} deletado com sucesso!", "[VX] > File {} successfully deleted!"};
inline constexpr Text FileNotDeleted{"[VX] > Arquivo {} não pôde ser deletado!",
                                     "[VX] > File {} could not be deleted!"};
inline constexpr Text ValueDeleted{"[VX] > Valor {} deletado com sucesso!", "[VX] > Value {} successfully deleted!"};
inline constexpr Text ValueNotDeleted{"[VX] > Valor {} não pôde ser deletado!",
                                      "[VX] > Value {} could not be deleted!"};

}  // namespace run_commands

}  // namespace vx::computer::texts
