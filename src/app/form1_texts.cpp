// The fixed texts of the main window: the controls as the window is created
// (with the handlers their events reach), the captions of each language, the
// tips blocks and the instructions text.
#include "app/form1_texts.h"

namespace vx::app {

namespace {
const std::string kPenHint = "Insira o Pen-Drive antes de executar o Varrex";
}

// The controls as the window is created (Portuguese captions of the start),
// with the handlers their events reach. Containers come before what they
// hold, so a view can create them in order.
TForm1::TForm1(platform::Platform os)
    : Form1({"TForm1", nullptr, " Varrex"}),
      PageControl1({"PageControl1", &Form1}),
      TabSheet1({"TabSheet1", &PageControl1, " Remoção de Vírus "}),
      GroupBox4({"GroupBox4", &TabSheet1, " Verifica a Existência de Vírus ", "", colors::Green}),
      BitBtn3({"BitBtn3", &GroupBox4, "&Instruções"},
              {.onClick = &TForm1::BitBtn3Click, .onKeyDown = &TForm1::BitBtn3KeyDown}),
      BitBtn7({"BitBtn7", &GroupBox4, " Verificar &Computador\r Unidade: "}, {.onClick = &TForm1::BitBtn7Click}),
      Label17({"Label17", &GroupBox4, "Escolha a Unidade do Dispositivo", kPenHint}),
      DriveComboBox2({"DriveComboBox2", &GroupBox4, "", kPenHint}),
      SpeedButton3({"SpeedButton3", &GroupBox4, "", "Detectar Unidades"}, {.onClick = &TForm1::SpeedButton3Click}),
      BitBtn9({"BitBtn9", &GroupBox4, " Verificar &Dispositivo"}, {.onClick = &TForm1::BitBtn9Click}),
      GroupBox5({"GroupBox5", &TabSheet1, " Remoção de Vírus ", "", colors::Green}),
      BitBtn2({"BitBtn2", &GroupBox5, " Desinfectar Com&putador\r Unidade: "}, {.onClick = &TForm1::BitBtn2Click}),
      Label1({"Label1", &GroupBox5, "Escolha a Unidade do Dispositivo", kPenHint}),
      DriveComboBox1({"DriveComboBox1", &GroupBox5, "", kPenHint}),
      SpeedButton1({"SpeedButton1", &GroupBox5, "", "Detectar Unidades"}, {.onClick = &TForm1::SpeedButton1Click}),
      BitBtn1({"BitBtn1", &GroupBox5, " Desin&fectar Dispositivo", kPenHint}, {.onClick = &TForm1::BitBtn1Click}),
      Memo1({"Memo1", &TabSheet1, "", "", colors::Navy}),
      TabSheet2({"TabSheet2", &PageControl1, " Ferramentas / Manutenção "}, {.onShow = &TForm1::TabSheet2Show}),
      GroupBox6({"GroupBox6", &TabSheet2, " Processos em Execução "}),
      ListBox1({"ListBox1", &GroupBox6}, {.onSelect = &TForm1::ListBox1Select}),
      BitBtn10({"BitBtn10", &GroupBox6, "Listar Processos"}, {.onClick = &TForm1::BitBtn10Click}),
      BitBtn11({"BitBtn11", &GroupBox6, "Finalizar Processo"}, {.onClick = &TForm1::BitBtn11Click}),
      GroupBox8({"GroupBox8", &TabSheet2, " Pastas Temporárias "}),
      Label20({"Label20", &GroupBox8, "Temporária de Usuário", "Abrir esta Pasta."},
              {.onClick = &TForm1::Label20Click,
               .onMouseEnter = &TForm1::Label20MouseEnter,
               .onMouseMove = &TForm1::Label20MouseMove,
               .onMouseLeave = &TForm1::Label20MouseLeave,
               .link = true}),
      Label22({"Label22", &GroupBox8, "Espaço ocupado:"}),
      Label21({"Label21", &GroupBox8, "Temporária do Windows", "Abrir esta Pasta."},
              {.onClick = &TForm1::Label21Click,
               .onMouseEnter = &TForm1::Label21MouseEnter,
               .onMouseMove = &TForm1::Label21MouseMove,
               .onMouseLeave = &TForm1::Label21MouseLeave,
               .link = true}),
      Label23({"Label23", &GroupBox8, "Espaço ocupado:"}),
      Button4({"Button4", &GroupBox8, " Efetuar Limpeza das Pastas "}, {.onClick = &TForm1::Button4Click}),
      GroupBox10({"GroupBox10", &TabSheet2, " Repara Ícones "}),
      BitBtn15({"BitBtn15", &GroupBox10, " Reparar Ícones "}, {.onClick = &TForm1::BitBtn15Click}),
      GroupBox13({"GroupBox13", &TabSheet2, " Sistema "}),
      BitBtn17({"BitBtn17", &GroupBox13, "  Gerar Relatório"}, {.onClick = &TForm1::BitBtn17Click}),
      TabSheet3({"TabSheet3", &PageControl1, " Opções do Programa "}, {.onShow = &TForm1::TabSheet3Show}),
      GroupBox7({"GroupBox7", &TabSheet3, " Caminho Deste Arquivo "}),
      Label19({"Label19", &GroupBox7, "Caminho", "Clique para abri esta pasta!", colors::Maroon},
              {.onClick = &TForm1::Label19Click,
               .onMouseEnter = &TForm1::Label19MouseEnter,
               .onMouseMove = &TForm1::Label19MouseMove,
               .onMouseLeave = &TForm1::Label19MouseLeave,
               .link = true,
               .ellipsis = Ellipsis::Path}),
      BitBtn12({"BitBtn12", &TabSheet3, " Copiar Programa para sua Área de Trabalho"},
               {.onClick = &TForm1::BitBtn12Click, .cancel = true}),
      GroupBox11({"GroupBox11", &TabSheet3, " Parâmetros "}),
      CheckBox1({"CheckBox1", &GroupBox11, "Exibir opção para salvar relatório ao final das verificações?"},
                {.onClick = &TForm1::CheckBox1Click}),
      CheckBox2({"CheckBox2", &GroupBox11, "Exibir opção para salvar relatório ao final das desinfecções?"},
                {.onClick = &TForm1::CheckBox2Click}),
      CheckBox3({"CheckBox3", &GroupBox11, " Verificar dispositivo ao ser inserido "},
                {.onClick = &TForm1::CheckBox3Click}),
      BitBtn16({"BitBtn16", &GroupBox11, " Salvar Alterações"}, {.onClick = &TForm1::BitBtn16Click}),
      TabSheet4({"TabSheet4", &PageControl1, " Quarentena "}, {.onShow = &TForm1::TabSheet4Show}),
      ListBox2({"ListBox2", &TabSheet4}, {.onSelect = &TForm1::ListBox2Select, .onClick = &TForm1::ListBox2Click}),
      ListBox3({"ListBox3", &TabSheet4}, {.onSelect = &TForm1::ListBox3Select}),
      Label24({"Label24", &TabSheet4, "Tamanho total: "}),
      Button5({"Button5", &TabSheet4, " Restaurar Selecionados "}, {.onClick = &TForm1::Button5Click}),
      Button6({"Button6", &TabSheet4, " Restaurar Tudo "}, {.onClick = &TForm1::Button6Click}),
      Button7({"Button7", &TabSheet4, " Excluir Definitivamente "}, {.onClick = &TForm1::Button7Click}),
      Panel2({"Panel2", &Form1}),
      GroupBox9({"GroupBox9", &Panel2, " Selecione o Idioma"}),
      BitBtn13({"BitBtn13", &GroupBox9, "Português"}, {.onClick = &TForm1::BitBtn13Click}),
      BitBtn14({"BitBtn14", &GroupBox9, "English"}, {.onClick = &TForm1::BitBtn14Click}),
      Panel1({"Panel1", &Panel2}),
      Label2({"Label2", &Panel1, std::string("Nosso Site: ") + links::WebSiteShown + " - E-mail: " + links::Email},
             {.onDblClick = &TForm1::Label2DblClick,
              .onMouseEnter = &TForm1::Label2MouseEnter,
              .onMouseMove = &TForm1::Label2MouseMove,
              .onMouseLeave = &TForm1::Label2MouseLeave,
              .link = true}),
      Label4({"Label4", &Panel1, std::string("Página no Facebook: ") + links::SocialPage},
             {.onClick = &TForm1::Label4Click,
              .onMouseEnter = &TForm1::Label4MouseEnter,
              .onMouseMove = &TForm1::Label4MouseMove,
              .onMouseLeave = &TForm1::Label4MouseLeave,
              .link = true}),
      StaticText1({"StaticText1", &Panel1, "Versão ", "", colors::Teal}),
      Panel3({"Panel3", &Form1}, {.onClick = &TForm1::Panel3Click}),
      Label18({"Label18", &Panel3,
               std::string("Clique aqui e curta nossa página no facebook: ") + links::SocialPageUrl, "",
               colors::Teal},
              {.onClick = &TForm1::Label18Click,
               .onMouseEnter = &TForm1::Label18MouseEnter,
               .onMouseMove = &TForm1::Label18MouseMove,
               .onMouseLeave = &TForm1::Label18MouseLeave,
               .link = true}),
      os_(os) {
    for (const std::string& line : startupTips()) Memo1.append(line);
}

std::vector<LanguageCaption> languageCaptions(TForm1& f) {
    const std::string site = links::WebSiteShown;
    const std::string mail = links::Email;
    return {
        {f.Form1, " Varrex - Remove Vírus que Cria Atalhos e Outros",
         " Varrex - Remove Viruses and Other Shortcuts Creates"},
        {f.TabSheet1, " Remoção de Vírus ", " Virus Removal "},
        {f.TabSheet2, " Ferramentas / Manutenção ", " Tools / Maintenance "},
        {f.TabSheet3, " Opções do Programa ", " Program Options "},
        {f.GroupBox4, " Verifica a Existência de Vírus ", " Verifies the existence of Virus "},
        {f.BitBtn3, "&Instruções", "&Instructions"},
        {f.Label17, "Escolha a Unidade do Dispositivo", "Choose Device Unit"},
        {f.BitBtn9, " Verificar &Dispositivo", " Check &Device"},
        {f.GroupBox5, " Remoção de Vírus ", " Virus Removal "},
        {f.Label1, "Escolha a Unidade do Dispositivo", "Choose Device Unit"},
        {f.BitBtn1, " Desin&fectar Dispositivo", " Disin&fect Device"},
        {f.Label2, "Nosso Site: " + site + " - E-mail: " + mail, "Website: " + site + " - E-mail: " + mail},
        {f.Label4, std::string("Página no Facebook: ") + links::SocialPage,
         std::string("Facebook page: ") + links::SocialPage},
        {f.StaticText1, std::string("Versão ") + scan::kProgramVersion, std::string("Version ") + scan::kProgramVersion},
        {f.GroupBox9, " Selecione o Idioma ", " Select Language "},
        {f.Label18, std::string("Clique aqui e curta nossa página no facebook: ") + links::SocialPageUrl,
         std::string("Click here and enjoy our facebook page: ") + links::SocialPageUrl},
        {f.GroupBox6, " Processos em Execução / Nome - ID ", " Running Processes / Name - ID "},
        {f.BitBtn10, "Listar Processos", "List Processes"},
        {f.BitBtn11, "Finalizar Processo", "End Process"},
        {f.GroupBox8, " Pastas Temporárias ", " Temporary Folders "},
        {f.Label20, " Pastas Temporárias ", " Temporary Folders "},
        {f.Label22, "Espaço ocupado:", "Occupied space:"},
        {f.Label21, "Temporária do Windows", "Temporary Windows"},
        {f.Label23, "Espaço ocupado:", "Occupied space:"},
        {f.Button4, " Efetuar Limpeza das Pastas ", " Cleaning Make Folders "},
        {f.GroupBox10, " Repara Ícones ", " Repairs Ícons "},
        {f.BitBtn15, " Reparar Ícones", " Repairs Ícons"},
        {f.GroupBox7, " Caminho Deste Arquivo ", " Way this Archive "},
        {f.BitBtn12, " Copiar Programa para sua Área de Trabalho", " Copy Program to Your Desktop"},
        {f.GroupBox13, " Sistema", " System"},
        {f.BitBtn17, " Gerar Relatório", " Generate Report"},
        {f.GroupBox11, " Parâmetros", " Parameters"},
        {f.CheckBox1, "Exibir opção para salvar relatório ao final das verificações?",
         "Show option to save report at the end of scans?"},
        {f.CheckBox2, "Exibir opção para salvar relatório ao final das desinfecções?",
         "Show option to save report at the end of disinfections?"},
        {f.CheckBox3, " Verificar dispositivo ao ser inserido ", " Check device when inserted "},
        {f.BitBtn16, "Salvar Alterações", "Save Editions"},
        {f.TabSheet4, " Quarentena ", " Quarantine "},
        {f.Label24, "Tamanho total: ", "Total size: "},
        {f.Button5, " Restaurar Selecionados ", " Restore Selected "},
        {f.Button6, " Restaurar Tudo ", " Restore All "},
        {f.Button7, " Excluir Definitivamente ", " Delete for Good "},
    };
}

const std::vector<std::string>& startupTips() {
    static const std::vector<std::string> lines = {
        ">>> Dicas:",
        "",
        "- Clique no botão \"Instruções\" para saber mais.",
        "- Quando for mencionado \"Dispositivo\" ou \"Mídia Externa\", estará se referindo a Pen-Drives, HDs "
        "Externos, Cartões de ",
        "Memória, entre outros.",
        "- Insira seu Dispositivo antes de executar o Varrex.",
        "- Esta ferramenta remove a maioria dos Vírus que criam atalhos e ocultam as pastas do seu Dispositivo.",
        "- Nomes de Vírus retirados: Trashes, dw.dll, Mugen, Hidden, Recycler, extensões CPL, VBS, VBE, JS, WSF, EXE, "
        "outros.",
        "- Desinfecta também o computador, que impede que infecte novamente seus dispositivos.",
        "",
        ">>> [Varrex - Versão 2.7.5] - Compatibilidade: Windows, XP, 7, 8, 10, 11 e Server - 32 ou 64 Bits",
    };
    return lines;
}

std::string tipsVersionLine(bool portuguese) {
    const bool plainBuild = std::string(scan::kBuildMark) == "0";
    std::string line = portuguese ? ">>> [Varrex - Versão: " : ">>> [Varrex - Version: ";
    line += std::string(scan::kProgramVersion) + " - ";
    if (!plainBuild) line += std::string(scan::kBuildMark) + " - ";
    line += scan::kVersionSuffix;
    if (plainBuild)
        line += portuguese ? "] - Compatibilidade: Windows XP, 7, 8, 10 e Server - 32 ou 64 Bits"
                           : "] - Compatibility: Windows XP, 7, 8, 10 and Server - 32 or 64 Bits";
    else
        line += portuguese ? "] - Compatibilidade: Windows XP, 7, 8 e 10 - 32 ou 64 Bits"
                           : "] - Compatibility: Windows XP, 7, 8 e 10 - 32 or 64 Bits";
    return line;
}

std::vector<std::string> languageTips(bool portuguese) {
    if (portuguese)
        return {
            ">>> Dicas:",
            "",
            "- Clique no botão \"Instruções\" para saber mais.",
            "- Quando for mencionado \"Dispositivo\" ou \"Mídia Externa\", estará se referindo a Pen-Drives, HDs "
            "Externos, Cartões deMemória, entre outros.",
            "- Insira seu Dispositivo antes de executar o Varrex.",
            "- Esta ferramenta remove a maioria dos Vírus que criam atalhos e ocultam as pastas do seu Dispositivo.",
            "- Nomes de Vírus retirados: Drive, Trashes, dw.dll, Mugen, Hidden, Recycler, extensões CPL, VBS, VBE, JS, "
            "EXE, outros.",
            "- Desinfecta também o computador, que impede que infecte novamente seus dispositivos.",
            "",
            tipsVersionLine(true),
        };
    return {
        ">>> Tips:",
        "",
        "- Click on \"Instructions\" button to learn more.",
        "- When you mentioned \"Device\" or \"External Media\", is referring to Pen-Drives, External Hard Drives, "
        "Memory Cards, among others.",
        "- Enter your device before running the Varrex.",
        "- This tool removes most viruses that create shortcuts and hidden folders in your device.",
        "- Names Virus removed: Drive, Trashes, dw.dll, Mugen, Hidden, Recycler, CPL extensions, VBS, VBE, JS, EXE, "
        "other.",
        "- Also disinfects the computer, which prevents it from infecting your devices again.",
        "",
        tipsVersionLine(false),
    };
}

const std::vector<std::string>& Tform_instrucoes::text() {
    static const std::vector<std::string> lines = {
        ">>> Instruções:",
        "",
        "- Quando for mencionado \"Dispositivo\" ou \"Mídia Externa\", estará se referindo a Pen-Drives, HDs "
        "Externos, Cartões de ",
        "Memória, entre outros.",
        "- Insira seu Dispositivo antes de executar o Varrex.",
        "- Esta ferramenta remove a maioria dos Vírus que criam atalhos e ocultam as pastas do seu Dispositivo.",
        "- Nomes comuns de Vírus retirados: Trashes, dw.dll, Mugen, Hidden, Recycler, extensões CPL, VBS, VBE, JS, "
        "WSF, EXE e ",
        "outros.",
        "- Desinfecta também o computador, que impede que infecte novamente seus dispositivos.",
        "- Os Anti-Vírus convencionais não conseguem remover estes tipos de vírus, pois foram feitos em Javascript e "
        "VBScript, ",
        "o que dificulta sua remoção. Portanto, para remoção segura é recomendado usar uma ferramenta específica.",
        "- Você pode plugar a sua Mídia Externa na máquina infectada, fazendo as duas remoções, ou colocar a Mídia "
        "infectada ",
        "numa máquina livre ou apenas remover o vírus de uma máquina infectada.",
        "- Sistemas Operacionais testados com sucesso: Windows XP, Windows 7, Windows 8, Windows 10 e Windows Server "
        "- ",
        "32 ou 64 Bits.",
        "",
        "O que a ferramenta Varrex faz:",
        "",
        ">>> No Computador:",
        "- Procurar os arquivos maliciosos nos locais que costuma infectar e os deleta;",
        "- Procura no registro do sistema as suas referências e as deleta e",
        "- Desfaz os bloqueios no computador causados pelo vírus. Ex: bloqueia do \"Gerenciador de Tarefas\", "
        "\"Propriedades do ",
        "Meu Computador\", entre outros.",
        "",
        ">>> No Dispositivo Externo:",
        "- Procura os arquivos maliciosos nas pastas do Dispositivo selecionado e os deleta;",
        "- Apaga os atalhos das pastas criados pelo vírus;",
        "- Torna suas pastas visíveis novamente;",
        "- Apaga o arquivo 'autorun.inf' do Dispositivo, se existir.",
        "- Apaga a pasta Recycler do Dispositivo, se existir.",
        "",
        ">>> [Varrex - Versão 2.7.5]",
    };
    return lines;
}

}  // namespace vx::app
